#include "stream/istreamread.h"

#include "stream/exception/unsupportedoperation.h"

namespace ZRV::Stream {

IStreamRead::IStreamRead(QSharedPointer<QIODevice> source, QObject* parent)
    : IStream(std::move(source), parent)
{
}

bool IStreamRead::open(OpenMode mode)
{
    if (!(mode & ReadOnly))
        Exception::UnsupportedOperation::refuse("virtual bool ZRV::Stream::IStreamRead::open(QIODevice::OpenMode)");
    return IStream::open(mode);
}

qint64 IStreamRead::writeData(const char*, qint64)
{
    Exception::UnsupportedOperation::refuse("virtual qint64 ZRV::Stream::IStreamRead::writeData(const char *, qint64)");
}

} // namespace ZRV::Stream
