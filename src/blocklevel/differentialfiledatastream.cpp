#include "blocklevel/differentialfiledatastream.h"

#include "blocklevel/pendingoutput.h"

#include <algorithm>

namespace ZRV::Stream::BlockLevel {

namespace {

// Upper bound of one chunk, whatever maxSize a caller passes.
constexpr qint64 MaxChunkSize = 64 * 1024 * 1024;

} // namespace

DifferentialFileDataStream::DifferentialFileDataStream(QSharedPointer<QIODevice> source,
                                                       QSharedPointer<MapStream> outMap,
                                                       QSharedPointer<MapStream> inMap,
                                                       ZRV::Core::Compression::Algorithm compression,
                                                       ZRV::Core::Encryption::Algorithm encryption,
                                                       const QByteArray& password, QObject* parent)
    : DataStream(std::move(source), std::move(outMap), std::move(inMap), compression, encryption, password, parent)
{
}

DifferentialFileDataStream::~DifferentialFileDataStream() = default;

qint64 DifferentialFileDataStream::readData(char* data, qint64 maxSize)
{
    const qint64 blockSize = outMap_->header()->blockSize();
    if (sourceHasMore() && pendingOutput_->size() < maxSize) {
        const qint64 wanted = std::min(maxSize, MaxChunkSize);
        const int chunkSize = int((wanted + blockSize - 1) / blockSize * blockSize);
        // Kept between calls: a fresh chunk of this size each call costs more than its blocks.
        if (chunk_.size() < chunkSize)
            chunk_.resize(chunkSize);
        const qint64 count = std::max<qint64>(readSource(chunk_.data(), chunkSize), 0);
        for (qint64 offset = 0; offset < count; offset += blockSize) {
            const qint64 length = std::min(blockSize, count - offset);
            processBlock(QByteArray::fromRawData(chunk_.constData() + offset, int(length)), true);
        }
    }
    throwIfSourceFailed();
    return pendingOutput_->take(data, maxSize);
}

} // namespace ZRV::Stream::BlockLevel
