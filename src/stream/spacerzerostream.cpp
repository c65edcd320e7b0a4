#include "stream/spacerzerostream.h"

#include "stream/exception/unsupportedoperation.h"

#include <cstring>

namespace ZRV::Stream {

SpacerZeroStream::SpacerZeroStream(qint64 size, QObject* parent)
    : QIODevice(parent)
    , size_(qMax<qint64>(size, 0))
{
}

bool SpacerZeroStream::isSequential() const
{
    return false;
}

bool SpacerZeroStream::open(OpenMode mode)
{
    if (!(mode & ReadOnly))
        Exception::UnsupportedOperation::refuse(
            "virtual bool ZRV::Stream::SpacerZeroStream::open(QIODevice::OpenMode)");
    position_ = 0;
    return QIODevice::open(mode);
}

qint64 SpacerZeroStream::pos() const
{
    // Qt tracks the caller's position of a random-access device itself.
    return QIODevice::pos();
}

qint64 SpacerZeroStream::size() const
{
    return size_;
}

bool SpacerZeroStream::seek(qint64 pos)
{
    if (pos < 0 || pos > size_ || !QIODevice::seek(pos))
        return false;
    position_ = pos;
    return true;
}

bool SpacerZeroStream::atEnd() const
{
    return QIODevice::pos() >= size_;
}

bool SpacerZeroStream::reset()
{
    return seek(0);
}

bool SpacerZeroStream::canReadLine() const
{
    return false;
}

qint64 SpacerZeroStream::readData(char* data, qint64 maxSize)
{
    const qint64 count = qMin(maxSize, size_ - position_);
    if (count > 0) // Qt may pass a null buffer when nothing fits
        std::memset(data, 0, size_t(count));
    position_ += count;
    return count;
}

qint64 SpacerZeroStream::writeData(const char*, qint64)
{
    Exception::UnsupportedOperation::refuse(
        "virtual qint64 ZRV::Stream::SpacerZeroStream::writeData(const char *, qint64)");
}

} // namespace ZRV::Stream
