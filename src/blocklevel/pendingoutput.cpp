#include "blocklevel/pendingoutput.h"

#include <algorithm>
#include <cstring>

namespace ZRV::Stream::BlockLevel {

qint64 PendingOutput::size() const
{
    return bytes_.size() - offset_;
}

bool PendingOutput::isEmpty() const
{
    return size() == 0;
}

void PendingOutput::append(const QByteArray& bytes)
{
    if (offset_ > 0) {
        bytes_.remove(0, int(offset_));
        offset_ = 0;
    }
    // Sized exactly: append() would round the rest of one block plus the next (up to 64 MiB
    // each) up to the next power of two. Into an empty buffer, append() shares the bytes.
    if (!bytes_.isEmpty())
        bytes_.reserve(bytes_.size() + bytes.size());
    bytes_.append(bytes);
}

qint64 PendingOutput::take(char* data, qint64 maxSize)
{
    const qint64 count = std::min(maxSize, size());
    if (count <= 0)
        return 0;
    std::memcpy(data, bytes_.constData() + offset_, size_t(count));
    offset_ += count;
    if (offset_ == bytes_.size())
        clear();
    return count;
}

void PendingOutput::clear()
{
    bytes_.clear();
    offset_ = 0;
}

} // namespace ZRV::Stream::BlockLevel
