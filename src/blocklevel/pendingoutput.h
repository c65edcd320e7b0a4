#pragma once

#include <QByteArray>

namespace ZRV::Stream::BlockLevel {

// Bytes produced but not yet handed out. Handing out advances a read offset instead of
// moving the remaining bytes, so small reads from a large pending block stay linear.
class PendingOutput
{
public:
    qint64 size() const;
    bool isEmpty() const;
    void append(const QByteArray& bytes);
    // Copies up to maxSize bytes into data and drops them; returns the count.
    qint64 take(char* data, qint64 maxSize);
    void clear();

private:
    QByteArray bytes_;
    qint64 offset_ = 0;
};

} // namespace ZRV::Stream::BlockLevel
