#include "stream/istreamwrite.h"

#include "stream/exception/unsupportedoperation.h"

namespace ZRV::Stream {

IStreamWrite::IStreamWrite(QSharedPointer<QIODevice> source, QObject* parent)
    : IStream(std::move(source), parent)
{
}

bool IStreamWrite::open(OpenMode mode)
{
    if (mode != WriteOnly)
        Exception::UnsupportedOperation::refuse("virtual bool ZRV::Stream::IStreamWrite::open(QIODevice::OpenMode)");
    return IStream::open(WriteOnly);
}

qint64 IStreamWrite::readData(char*, qint64)
{
    Exception::UnsupportedOperation::refuse("virtual qint64 ZRV::Stream::IStreamWrite::readData(char *, qint64)");
}

} // namespace ZRV::Stream
