#include "compression/compressorlz4.h"

#include "compression/exception/compressor.h"
#include "stream/readfully.h"

#include <QObject>
#include <cstring>
#include <lz4.h>

namespace ZRV::Stream::Compression {

namespace {

const quint64 CompressedFlag = 1;
const quint64 Algorithm4Flag = 2;
// Flags (one byte) and two sizes of at most three bytes: 2^21 exceeds LZ4_compressBound(BlockSize).
const int HeaderRoom = 7;

[[noreturn]] void refuseBlock()
{
    throw Exception::Compressor(QObject::tr("Error in decompressed block data"));
}

} // namespace

CompressorLz4::CompressorLz4(QSharedPointer<QIODevice> source, ZRV::Core::Compression::Algorithm algorithm,
                             bool isCompressor)
    : CompressorBase(source, algorithm, isCompressor)
    , source_(std::move(source))
{
}

CompressorLz4::~CompressorLz4() = default;

qint64 CompressorLz4::readData(char* data, qint64 maxSize)
{
    qint64 delivered = 0;
    for (;;) {
        const qint64 count = qMin(maxSize - delivered, pendingSize_);
        if (count > 0) {
            std::memcpy(data + delivered, pendingOutput_, count);
            pendingOutput_ += count;
            pendingSize_ -= count;
            delivered += count;
        }
        if (delivered == maxSize)
            return delivered;
        const qint64 direct = isCompressor() ? (compressNextBlock() ? 0 : -1)
                                             : decompressNextBlock(data + delivered, maxSize - delivered);
        if (direct < 0)
            return delivered;
        delivered += direct;
    }
}

bool CompressorLz4::atEnd() const
{
    return pendingSize_ == 0 && source_->atEnd();
}

char* CompressorLz4::writeInt(char* out, quint64 value)
{
    while (value >= 0x80) {
        *out++ = char(0x80 | (value & 0x7F));
        value >>= 7;
    }
    *out++ = char(value);
    return out;
}

bool CompressorLz4::tryReadInt(QIODevice& in, quint64& value)
{
    value = 0;
    for (int shift = 0; shift <= 63; shift += 7) {
        char byte;
        if (ZRV::Stream::readFully(in, &byte, 1) != 1) {
            if (shift == 0)
                return false;
            throw std::exception();
        }
        value |= quint64(byte & 0x7F) << shift;
        if (!(byte & 0x80))
            break;
    }
    return true;
}

bool CompressorLz4::compressNextBlock()
{
    // A source that tells how much it holds (a block in memory) gets buffers of that size: a
    // stream per stored block would otherwise allocate and fault in two full blocks each time.
    const qint64 announced = source_->bytesAvailable();
    const qint64 firstRead = announced > 0 ? qMin<qint64>(announced, BlockSize) : BlockSize;
    char* raw = block(rawBlock_, firstRead);
    qint64 rawSize = readFully(*source_, raw, firstRead);
    if (rawSize <= 0) {
        if (rawSize == 0 && source_->atEnd())
            return false;
        throw Exception::Compressor(QObject::tr("Error in compressed block data"));
    }
    if (rawSize == firstRead && firstRead < BlockSize && !source_->atEnd()) {
        raw = block(rawBlock_, BlockSize, rawSize);
        rawSize += qMax<qint64>(readFully(*source_, raw + rawSize, BlockSize - rawSize), 0);
    }

    char* coded = block(codedBlock_, LZ4_compressBound(int(rawSize)));
    const int codedSize = LZ4_compress_default(raw, coded, int(rawSize), LZ4_compressBound(int(rawSize)));
    const bool isCompressed = codedSize > 0 && codedSize < rawSize;
    char* payload = isCompressed ? coded : raw;
    pendingOutput_ = putHeader(payload, isCompressed, algorithm(), rawSize, codedSize);
    pendingSize_ = (payload - pendingOutput_) + (isCompressed ? codedSize : rawSize);
    return true;
}

qint64 CompressorLz4::encodedRoom(qint64 rawSize)
{
    return HeaderRoom + qMax<qint64>(LZ4_compressBound(int(rawSize)), rawSize);
}

char* CompressorLz4::encodeBlock(const char* raw, qint64 rawSize, ZRV::Core::Compression::Algorithm algorithm,
                                 char* room, qint64& size)
{
    char* payload = room + HeaderRoom;
    const int bound = LZ4_compressBound(int(rawSize));
    const int codedSize = LZ4_compress_default(raw, payload, int(rawSize), bound);
    const bool isCompressed = codedSize > 0 && codedSize < rawSize;
    if (!isCompressed)
        std::memcpy(payload, raw, size_t(rawSize));
    char* begin = putHeader(payload, isCompressed, algorithm, rawSize, codedSize);
    size = (payload - begin) + (isCompressed ? codedSize : rawSize);
    return begin;
}

char* CompressorLz4::putHeader(char* payload, bool isCompressed, ZRV::Core::Compression::Algorithm algorithm,
                               qint64 rawSize, qint64 codedSize)
{
    char header[HeaderRoom];
    char* headerEnd = writeInt(header,
                               (isCompressed ? CompressedFlag : 0)
                                   | (algorithm == ZRV::Core::Compression::Lz4Flagged ? Algorithm4Flag : 0));
    headerEnd = writeInt(headerEnd, quint64(rawSize));
    if (isCompressed)
        headerEnd = writeInt(headerEnd, quint64(codedSize));
    const qint64 headerSize = headerEnd - header;
    std::memcpy(payload - headerSize, header, size_t(headerSize));
    return payload - headerSize;
}

qint64 CompressorLz4::decompressNextBlock(char* room, qint64 roomSize)
{
    quint64 flags = 0;
    if (!tryReadInt(*source_, flags)) {
        if (source_->atEnd())
            return -1;
        refuseBlock();
    }
    quint64 rawSize = 0;
    if (!tryReadInt(*source_, rawSize) || rawSize == 0 || rawSize > quint64(BlockSize))
        refuseBlock();
    const bool isCompressed = flags & CompressedFlag;
    quint64 codedSize = 0;
    if (isCompressed
        && (!tryReadInt(*source_, codedSize) || codedSize == 0 || codedSize > quint64(LZ4_compressBound(int(rawSize)))))
        refuseBlock();

    char* target = qint64(rawSize) <= roomSize ? room : block(rawBlock_, qint64(rawSize));
    if (isCompressed) {
        char* coded = block(codedBlock_, qint64(codedSize));
        if (readFully(*source_, coded, qint64(codedSize)) != qint64(codedSize)
            || LZ4_decompress_safe(coded, target, int(codedSize), int(rawSize)) != int(rawSize))
            refuseBlock();
    } else if (readFully(*source_, target, qint64(rawSize)) != qint64(rawSize)) {
        refuseBlock();
    }

    if (target == room)
        return qint64(rawSize);
    pendingOutput_ = target;
    pendingSize_ = qint64(rawSize);
    return 0;
}

char* CompressorLz4::block(BlockBuffer& buffer, qint64 size, qint64 kept)
{
    if (buffer.capacity < size) {
        std::unique_ptr<char[]> grown(new char[HeaderRoom + size]);
        if (kept > 0)
            std::memcpy(grown.get() + HeaderRoom, buffer.bytes.get() + HeaderRoom, size_t(kept));
        buffer.bytes = std::move(grown);
        buffer.capacity = size;
    }
    return buffer.bytes.get() + HeaderRoom;
}

} // namespace ZRV::Stream::Compression
