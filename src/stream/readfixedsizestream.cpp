#include "stream/readfixedsizestream.h"

#include "stream/readahead.h"

namespace ZRV::Stream {

ReadFixedSizeStream::ReadFixedSizeStream(QSharedPointer<QIODevice> source, qint64 size, QObject* parent)
    : IStreamRead(std::move(source), parent)
    , size_(size)
    , start_(source_->pos())
{
}

bool ReadFixedSizeStream::isSequential() const
{
    return IStream::isSequential();
}

bool ReadFixedSizeStream::open(OpenMode mode)
{
    if (!source_->open(mode))
        return false;
    start_ = source_->pos();
    position_ = 0;
    return openDevice(mode);
}

qint64 ReadFixedSizeStream::pos() const
{
    return position_ - readAheadByteCount(*this, position_);
}

qint64 ReadFixedSizeStream::size() const
{
    return size_;
}

bool ReadFixedSizeStream::seek(qint64 pos)
{
    if (isSequential() || pos < 0 || pos > size_ || !isSourceOpen() || !source_->seek(start_ + pos))
        return false;
    followSeek(pos);
    position_ = pos;
    return true;
}

bool ReadFixedSizeStream::atEnd() const
{
    if (readAheadByteCount(*this, position_) > 0)
        return false;
    return position_ >= size_ || (isSourceOpen() && source_->atEnd());
}

bool ReadFixedSizeStream::reset()
{
    return seek(0);
}

qint64 ReadFixedSizeStream::readData(char* data, qint64 maxSize)
{
    const qint64 count = source_->read(data, qMin(maxSize, size_ - position_));
    if (count > 0)
        position_ += count;
    return count;
}

} // namespace ZRV::Stream
