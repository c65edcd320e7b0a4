#include "compression/parallelcompressor.h"

#include "compression/compressorlz4.h"
#include "compression/exception/compressor.h"
#include "core/exception/invaliddata.h"
#include "stream/orderedwork.h"
#include "stream/readfully.h"

#include <QObject>
#include <cstring>
#include <zlib.h>

namespace ZRV::Stream::Compression {

namespace {

using ZRV::Core::Compression::Algorithm;

// What CompressorBoost writes: no flags, no time, extra flags 0 (default level), OS unknown.
const char GzipHeader[] = {'\x1f', '\x8b', '\x08', '\0', '\0', '\0', '\0', '\0', '\0', '\xff'};
const int DictionarySize = 32768;

[[noreturn]] void failPiece()
{
    throw Exception::Compressor(QObject::tr("Cannot compress the data: zlib failed"));
}

// A worker thread's deflate state, made at its first piece and reset for each further one, so
// that pieces do not allocate and free zlib's quarter MiB of tables each time.
class PieceDeflater
{
public:
    PieceDeflater() { ready_ = deflateInit2(&stream_, Z_DEFAULT_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) == Z_OK; }
    ~PieceDeflater()
    {
        if (ready_)
            deflateEnd(&stream_);
    }
    PieceDeflater(const PieceDeflater&) = delete;
    PieceDeflater& operator=(const PieceDeflater&) = delete;

    // Raw deflate of one piece into out (room bytes), primed with the dictionary; a whole piece
    // ends with a sync flush so that the next one can follow it, the last one ends the stream.
    // Returns the bytes written.
    qint64 deflatePiece(const char* piece, qint64 size, const char* dictionary, int dictionarySize, bool last,
                        char* out, qint64 room)
    {
        if (!ready_ || deflateReset(&stream_) != Z_OK
            || (dictionarySize > 0
                && deflateSetDictionary(&stream_, reinterpret_cast<const Bytef*>(dictionary), uInt(dictionarySize))
                    != Z_OK))
            failPiece();
        stream_.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(piece));
        stream_.avail_in = uInt(size);
        stream_.next_out = reinterpret_cast<Bytef*>(out);
        stream_.avail_out = uInt(room);
        const int result = deflate(&stream_, last ? Z_FINISH : Z_SYNC_FLUSH);
        const bool done = last ? result == Z_STREAM_END : result == Z_OK && stream_.avail_in == 0 && stream_.avail_out > 0;
        if (!done)
            failPiece();
        return room - stream_.avail_out;
    }

private:
    z_stream stream_{};
    bool ready_ = false;
};

void putLittleEndian(char* out, quint32 value)
{
    for (int i = 0; i < 4; ++i)
        out[i] = char((value >> (8 * i)) & 0xFF);
}

} // namespace

ParallelCompressor::ParallelCompressor(QSharedPointer<QIODevice> source, Algorithm algorithm, int workers)
    : CompressorBase(source, algorithm, true)
    , source_(std::move(source))
    , gzip_(algorithm == ZRV::Core::Compression::Gzip)
    , pieceSize_(gzip_ ? GzipPieceSize : CompressorLz4::BlockSize)
    // Stored blocks bound deflate's growth; a sync flush adds an empty one and a few bits.
    , codedRoom_(gzip_ ? qint64(compressBound(uLong(GzipPieceSize))) + 64 : CompressorLz4::encodedRoom(pieceSize_))
{
    if (!gzip_ && algorithm != ZRV::Core::Compression::Lz4 && algorithm != ZRV::Core::Compression::Lz4Flagged)
        throw ZRV::Exception::InvalidData(QObject::tr("Unsupported compression algorithm"));
    // Memory grows with the threads (two buffers of a piece each, plus three): bounded to about
    // 17 MiB for gzip, 38 MiB for LZ4.
    const int threads = qMin(workers, gzip_ ? 64 : 16);
    // One piece per worker, one the caller hands out meanwhile, one that absorbs uneven pieces.
    const int depth = threads + 2;
    slots_.resize(size_t(depth + 1));
    work_ = std::make_unique<OrderedWork<Piece>>(threads, depth);
    if (gzip_) {
        std::memcpy(frame_, GzipHeader, sizeof GzipHeader);
        output_ = frame_;
        outputSize_ = sizeof GzipHeader;
    }
}

ParallelCompressor::~ParallelCompressor() = default;

qint64 ParallelCompressor::readData(char* data, qint64 maxSize)
{
    qint64 delivered = 0;
    while (delivered < maxSize) {
        if (outputOffset_ == outputSize_ && !nextOutput())
            break;
        const qint64 count = qMin(maxSize - delivered, outputSize_ - outputOffset_);
        std::memcpy(data + delivered, output_ + outputOffset_, size_t(count));
        outputOffset_ += count;
        delivered += count;
    }
    return delivered;
}

bool ParallelCompressor::atEnd() const
{
    return finished_ && outputOffset_ == outputSize_;
}

bool ParallelCompressor::nextOutput()
{
    if (finished_)
        return false;
    // The output handed out so far is all taken: its slot may be filled again.
    while (!sourceEnded_ && !work_->isFull())
        submitNextPiece();
    outputOffset_ = 0;
    if (!work_->isEmpty()) {
        const Piece piece = work_->take();
        if (gzip_) {
            crc_ = quint32(crc32_combine(crc_, piece.crc, z_off_t(piece.size)));
            length_ += quint32(piece.size);
        }
        output_ = piece.bytes;
        outputSize_ = piece.length;
        return true;
    }
    finished_ = true;
    outputSize_ = 0;
    if (gzip_) {
        putLittleEndian(frame_, crc_);
        putLittleEndian(frame_ + 4, length_);
        output_ = frame_;
        outputSize_ = 8;
    }
    return outputSize_ > 0;
}

void ParallelCompressor::submitNextPiece()
{
    Slot& slot = slots_[size_t(nextSlot_)];
    nextSlot_ = (nextSlot_ + 1) % int(slots_.size());
    if (!slot.raw) {
        slot.raw.reset(new char[size_t(pieceSize_)]);
        slot.coded.reset(new char[size_t(codedRoom_)]);
    }
    qint64 filled = 0;
    QString failure;
    // Reading on after a short read: a failure after some bytes came must not pass for the end.
    while (filled < pieceSize_) {
        const qint64 count = readFully(*source_, slot.raw.get() + filled, pieceSize_ - filled);
        if (count > 0) {
            filled += count;
            continue;
        }
        if (count < 0 || (!gzip_ && !source_->atEnd()))
            failure = gzip_ ? QObject::tr("Cannot read the data to compress: %1").arg(source_->errorString())
                            : QObject::tr("Error in compressed block data");
        break;
    }
    slot.size = filled;
    sourceEnded_ = !failure.isEmpty() || filled < pieceSize_;
    if (!failure.isEmpty()) {
        // Handed out in turn, after the pieces read before the failure.
        work_->submit([failure]() -> Piece { throw Exception::Compressor(failure); });
        return;
    }
    const Slot* current = &slot;
    const qint64 room = codedRoom_;
    if (gzip_) {
        const Slot* previous = previous_;
        const bool last = sourceEnded_;
        work_->submit([current, previous, last, room] {
            thread_local PieceDeflater deflater;
            const int dictionarySize = previous ? int(qMin<qint64>(previous->size, DictionarySize)) : 0;
            const char* dictionary = previous ? previous->raw.get() + previous->size - dictionarySize : nullptr;
            const qint64 length = deflater.deflatePiece(current->raw.get(), current->size, dictionary, dictionarySize,
                                                        last, current->coded.get(), room);
            const auto crc = quint32(crc32(0, reinterpret_cast<const Bytef*>(current->raw.get()), uInt(current->size)));
            return Piece{current->coded.get(), length, crc, current->size};
        });
        previous_ = current;
        return;
    }
    // An LZ4 stream ends between blocks: an empty last piece makes no block.
    if (filled > 0) {
        const Algorithm format = algorithm();
        work_->submit([current, format] {
            qint64 length = 0;
            const char* begin =
                CompressorLz4::encodeBlock(current->raw.get(), current->size, format, current->coded.get(), length);
            return Piece{begin, length, 0, current->size};
        });
    }
}

} // namespace ZRV::Stream::Compression
