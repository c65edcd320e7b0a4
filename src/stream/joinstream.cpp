#include "stream/joinstream.h"

#include "core/zrvdebug.h"
#include "stream/exception/erroroperation.h"
#include "stream/exception/unsupportedoperation.h"

#include <algorithm>

namespace ZRV::Stream {

JoinStream::JoinStream(const QList<QSharedPointer<QIODevice>>& streams, QObject* parent)
    : IStreamRead(nullptr, parent)
{
    for (const auto& stream : streams)
        addStream(stream);
}

void JoinStream::addStream(QSharedPointer<QIODevice> stream)
{
    if (stream)
        parts_.append(std::move(stream));
}

bool JoinStream::autoRemove() const
{
    return autoRemove_;
}

void JoinStream::setAutoRemove(bool autoRemove)
{
    autoRemove_ = autoRemove;
}

bool JoinStream::isSequential() const
{
    return true;
}

bool JoinStream::open(OpenMode mode)
{
    if ((mode & ReadWrite) != ReadOnly)
        Exception::UnsupportedOperation::refuse("virtual bool ZRV::Stream::JoinStream::open(QIODevice::OpenMode)");
    for (const auto& part : parts_) {
        if (!(part->openMode() & ReadOnly) && !part->open(mode))
            return false;
    }
    return openDevice(mode);
}

qint64 JoinStream::pos() const
{
    return position_;
}

qint64 JoinStream::size() const
{
    qint64 total = 0;
    for (const auto& part : parts_)
        total += part->size();
    return total;
}

bool JoinStream::seek(qint64)
{
    return false;
}

bool JoinStream::atEnd() const
{
    // Bytes that Qt holds back (peek, ungetChar) have not been delivered yet.
    return QIODevice::bytesAvailable() == 0
        && std::all_of(parts_.cbegin(), parts_.cend(), [](const auto& part) { return part->atEnd(); });
}

bool JoinStream::reset()
{
    if (autoRemove_)
        return false;
    for (const auto& part : parts_) {
        if (!part->reset())
            return false;
    }
    position_ = 0;
    return true;
}

bool JoinStream::waitForReadyRead(int msecs)
{
    if (parts_.isEmpty())
        return false;
    const auto waiting = std::find_if(parts_.cbegin(), parts_.cend(), [](const auto& part) { return !part->atEnd(); });
    return (waiting == parts_.cend() ? parts_.last() : *waiting)->waitForReadyRead(msecs);
}

qint64 JoinStream::readData(char* data, qint64 maxSize)
{
    qint64 total = 0;
    for (const auto& part : parts_) {
        if (total == maxSize)
            break;
        if (part->atEnd()) {
            if (autoRemove_)
                part->close();
            continue;
        }
        while (total < maxSize && !part->atEnd()) {
            const qint64 count = part->read(data + total, maxSize - total);
            if (count < 0) {
                ZrvDebug("TXK").error() << "JoinStream: read stream return error!";
                setErrorString(part->errorString());
                throw Exception::ErrorOperation(part->errorString());
            }
            if (count == 0)
                ZrvDebug("TXK").debug() << "ooops...";
            total += count;
        }
    }
    position_ += total;
    return total;
}

} // namespace ZRV::Stream
