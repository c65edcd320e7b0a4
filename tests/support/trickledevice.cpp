#include "support/trickledevice.h"

#include <algorithm>
#include <cstring>

TrickleDevice::TrickleDevice(QByteArray data, qint64 chunk, qint64 failAt)
    : data_(std::move(data))
    , chunk_(chunk)
    , failAt_(failAt)
{
}

bool TrickleDevice::open(OpenMode mode)
{
    if (opened_)
        return false;
    opened_ = true;
    return QIODevice::open(mode);
}

bool TrickleDevice::atEnd() const
{
    return offset_ >= data_.size() && QIODevice::bytesAvailable() == 0;
}

qint64 TrickleDevice::bytesAvailable() const
{
    return data_.size() - offset_ + QIODevice::bytesAvailable();
}

qint64 TrickleDevice::readData(char* data, qint64 maxSize)
{
    if (failAt_ >= 0 && offset_ >= failAt_) {
        setErrorString("trickle device failed");
        return -1;
    }
    if (stalling_ && offset_ < data_.size()) {
        stalledLast_ = !stalledLast_;
        if (stalledLast_)
            return 0;
    }
    qint64 count = std::min({maxSize, chunk_, qint64(data_.size()) - offset_});
    if (failAt_ >= 0)
        count = qMin(count, failAt_ - offset_);
    if (count > 0)
        memcpy(data, data_.constData() + offset_, size_t(count));
    offset_ += count;
    return count;
}
