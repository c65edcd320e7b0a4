#include "stream/chunkstream.h"

namespace ZRV::Stream {

ChunkStream::ChunkStream(QSharedPointer<QIODevice> source, QObject* parent)
    : IStreamRead(std::move(source), parent)
{
}

qint64 ChunkStream::readData(char* data, qint64 maxSize)
{
    // Reading exactly what is still missing straight into the caller's buffer gives the same
    // bytes as gathering whole requests in a carry buffer, without the copy.
    qint64 total = 0;
    while (total < maxSize && !source_->atEnd()) {
        const qint64 count = source_->read(data + total, maxSize - total);
        if (count < 0) {
            if (total > 0)
                break;
            setErrorString(source_->errorString());
            return -1;
        }
        total += count;
    }
    return total;
}

} // namespace ZRV::Stream
