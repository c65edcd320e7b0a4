#include "compression/iodevicesource.h"

#include "compression/exception/compressor.h"
#include "stream/readfully.h"

#include <QObject>

namespace boost::iostreams {

IoDeviceSource::IoDeviceSource(QSharedPointer<QIODevice> device)
    : device_(std::move(device))
{
}

std::streamsize IoDeviceSource::read(char* s, std::streamsize n)
{
    const qint64 count = ZRV::Stream::readFully(*device_, s, n);
    if (count < 0)
        throw ZRV::Stream::Compression::Exception::Compressor(
            QObject::tr("Cannot read the data to compress: %1").arg(device_->errorString()));
    return count > 0 ? count : -1;
}

} // namespace boost::iostreams
