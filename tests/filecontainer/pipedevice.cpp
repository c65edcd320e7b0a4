#include "pipedevice.h"

#include <algorithm>
#include <cstring>

PipeDevice::PipeDevice(const QByteArray& bytes)
    : bytes_(bytes)
{
}

bool PipeDevice::isSequential() const
{
    return true;
}

bool PipeDevice::open(OpenMode mode)
{
    if (opened_)
        return false;
    opened_ = true;
    return QIODevice::open(mode);
}

bool PipeDevice::atEnd() const
{
    return delivered_ == bytes_.size() && QIODevice::atEnd();
}

qint64 PipeDevice::readData(char* data, qint64 maxSize)
{
    const qint64 count = std::min<qint64>({maxSize, 3000, bytes_.size() - delivered_});
    std::memcpy(data, bytes_.constData() + delivered_, count);
    delivered_ += count;
    return count;
}

qint64 PipeDevice::writeData(const char*, qint64)
{
    return -1;
}
