#include "stream/istream.h"

namespace ZRV::Stream {

IStream::IStream(QSharedPointer<QIODevice> source, QObject* parent)
    : QIODevice(parent)
    , source_(std::move(source))
{
}

IStream::~IStream()
{
    IStream::close();
}

bool IStream::isSourceOpen() const
{
    return source_ && source_->isOpen();
}

bool IStream::isSequential() const
{
    return source_ && source_->isSequential();
}

bool IStream::open(OpenMode mode)
{
    if (mode == NotOpen)
        return false;
    if (isUnbuffered())
        mode |= Unbuffered;
    if (!source_)
        return false;
    if (!source_->isOpen()) {
        source_->close();
        if (!source_->open(mode))
            return false;
    }
    return QIODevice::open(mode);
}

bool IStream::openDevice(OpenMode mode)
{
    return QIODevice::open(isUnbuffered() ? mode | Unbuffered : mode);
}

void IStream::close()
{
    if (isSourceOpen())
        source_->close();
    setOpenMode(NotOpen);
}

qint64 IStream::pos() const
{
    return isSourceOpen() ? source_->pos() : 0;
}

qint64 IStream::size() const
{
    return isSourceOpen() ? source_->size() : 0;
}

bool IStream::seek(qint64 pos)
{
    if (!isSourceOpen() || !source_->seek(pos))
        return false;
    followSeek(pos);
    return true;
}

bool IStream::atEnd() const
{
    return isSourceOpen() && source_->atEnd();
}

bool IStream::reset()
{
    if (!isSourceOpen() || !source_->reset())
        return false;
    followSeek(0);
    return true;
}

void IStream::followSeek(qint64 pos)
{
    // Qt keeps its own idea of the caller's position (readAll() and bytesAvailable() use it);
    // without this it would go stale whenever the stream moves.
    if (isOpen() && !isSequential())
        QIODevice::seek(pos);
}

bool IStream::canReadLine() const
{
    return false;
}

bool IStream::isUnbuffered() const
{
    return true;
}

} // namespace ZRV::Stream
