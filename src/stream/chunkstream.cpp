#include "stream/chunkstream.h"

#include "stream/readfully.h"

namespace ZRV::Stream {

ChunkStream::ChunkStream(QSharedPointer<QIODevice> source, QObject* parent)
    : IStreamRead(std::move(source), parent)
{
}

qint64 ChunkStream::readData(char* data, qint64 maxSize)
{
    // Reading exactly what is still missing straight into the caller's buffer gives the same
    // bytes as gathering whole requests in a carry buffer, without the copy.
    const qint64 count = readFully(*source_, data, maxSize);
    if (count < 0)
        setErrorString(source_->errorString());
    else if (count < maxSize)
        sourceEnded_ = true;
    return count;
}

bool ChunkStream::atEnd() const
{
    return isSequential() ? sourceEnded_ && QIODevice::bytesAvailable() == 0 : IStream::atEnd();
}

} // namespace ZRV::Stream
