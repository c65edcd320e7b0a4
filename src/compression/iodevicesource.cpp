#include "compression/iodevicesource.h"

namespace boost::iostreams {

IoDeviceSource::IoDeviceSource(QSharedPointer<QIODevice> device)
    : device_(std::move(device))
{
}

std::streamsize IoDeviceSource::read(char* s, std::streamsize n)
{
    const qint64 count = device_->read(s, n);
    return count > 0 ? count : -1;
}

} // namespace boost::iostreams
