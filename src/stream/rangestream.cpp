#include "stream/rangestream.h"

namespace ZRV::Stream {

RangeStream::RangeStream(QSharedPointer<QIODevice> source, const Extensions::Range<long long>& range, QObject* parent)
    : IStreamRead(std::move(source), parent)
    , range_(range)
{
}

bool RangeStream::isSequential() const
{
    return IStream::isSequential();
}

bool RangeStream::open(OpenMode mode)
{
    if (!IStreamRead::open(mode))
        return false;
    position_ = 0;
    if (range_.lower() == 0)
        return true;
    return !source_->isSequential() && source_->seek(range_.lower());
}

qint64 RangeStream::pos() const
{
    return position_;
}

qint64 RangeStream::size() const
{
    return range_.upper() - range_.lower();
}

bool RangeStream::seek(qint64 pos)
{
    if (!isSourceOpen() || isSequential() || !range_.contains(range_.lower() + pos)
        || !source_->seek(range_.lower() + pos))
        return false;
    followSeek(pos);
    position_ = pos;
    return true;
}

bool RangeStream::atEnd() const
{
    // A source shorter than the range ends the stream too, rather than leaving readers spinning.
    return position_ >= size() || (isSourceOpen() && source_->atEnd());
}

bool RangeStream::reset()
{
    return seek(0);
}

qint64 RangeStream::readData(char* data, qint64 maxSize)
{
    const qint64 count = source_->read(data, qMin(maxSize, size() - position_));
    if (count > 0)
        position_ += count;
    return count;
}

} // namespace ZRV::Stream
