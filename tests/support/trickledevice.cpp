#include "support/trickledevice.h"

#include <cstring>

TrickleDevice::TrickleDevice(const QByteArray& data, qint64 step, bool stalling)
    : data_(data)
    , step_(step)
    , stalling_(stalling)
{
}

bool TrickleDevice::atEnd() const
{
    return QIODevice::bytesAvailable() == 0 && position_ == data_.size();
}

qint64 TrickleDevice::readData(char* data, qint64 maxSize)
{
    if (stalling_ && position_ < data_.size()) {
        stalledLast_ = !stalledLast_;
        if (stalledLast_)
            return 0;
    }
    const qint64 count = qMin(qMin(maxSize, step_), data_.size() - position_);
    std::memcpy(data, data_.constData() + position_, count);
    position_ += count;
    return count;
}
