#include "compression/parallelcompressor.h"

#include "compression/compressorlz4.h"
#include "compression/exception/compressor.h"
#include "core/exception/invaliddata.h"
#include "stream/orderedwork.h"
#include "stream/readfully.h"

#include <QObject>
#include <climits>
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

// Raw deflate of one piece, primed with the tail of the previous one; a whole piece ends with a
// sync flush so that the next one can follow it, the last one ends the deflate stream.
QByteArray deflatePiece(const QByteArray& piece, const QByteArray& previous, bool last)
{
    z_stream stream{};
    if (deflateInit2(&stream, Z_DEFAULT_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        failPiece();
    const int dictionary = qMin(previous.size(), DictionarySize);
    if (dictionary > 0
        && deflateSetDictionary(&stream, reinterpret_cast<const Bytef*>(previous.constData() + previous.size() - dictionary),
                                uInt(dictionary))
            != Z_OK) {
        deflateEnd(&stream);
        failPiece();
    }
    // The bound covers the blocks; a sync flush adds at most an empty stored block and a few bits.
    QByteArray out(int(deflateBound(&stream, uLong(piece.size())) + 16), Qt::Uninitialized);
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(piece.constData()));
    stream.avail_in = uInt(piece.size());
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = uInt(out.size());
    const int result = deflate(&stream, last ? Z_FINISH : Z_SYNC_FLUSH);
    const bool done = last ? result == Z_STREAM_END : result == Z_OK && stream.avail_in == 0 && stream.avail_out > 0;
    out.resize(int(stream.total_out));
    deflateEnd(&stream);
    if (!done)
        failPiece();
    return out;
}

void appendLittleEndian(QByteArray& bytes, quint32 value)
{
    for (int i = 0; i < 4; ++i)
        bytes.append(char((value >> (8 * i)) & 0xFF));
}

} // namespace

ParallelCompressor::ParallelCompressor(QSharedPointer<QIODevice> source, Algorithm algorithm, int workers)
    : CompressorBase(source, algorithm, true)
    , source_(std::move(source))
    , gzip_(algorithm == ZRV::Core::Compression::Gzip)
    , pieceSize_(gzip_ ? GzipPieceSize : CompressorLz4::BlockSize)
{
    if (!gzip_ && algorithm != ZRV::Core::Compression::Lz4 && algorithm != ZRV::Core::Compression::Lz4Flagged)
        throw ZRV::Exception::InvalidData(QObject::tr("Unsupported compression algorithm"));
    // Two pieces per worker keep every worker busy while the caller hands one out.
    work_ = std::make_unique<OrderedWork<Piece>>(workers, 2 * workers);
    if (gzip_) {
        output_ = QByteArray(GzipHeader, sizeof GzipHeader);
        outputEnd_ = output_.size();
    }
}

ParallelCompressor::~ParallelCompressor() = default;

qint64 ParallelCompressor::readData(char* data, qint64 maxSize)
{
    qint64 delivered = 0;
    while (delivered < maxSize) {
        if (outputOffset_ == outputEnd_ && !nextOutput())
            break;
        const qint64 count = qMin(maxSize - delivered, outputEnd_ - outputOffset_);
        std::memcpy(data + delivered, output_.constData() + outputOffset_, size_t(count));
        outputOffset_ += count;
        delivered += count;
    }
    return delivered;
}

bool ParallelCompressor::atEnd() const
{
    return finished_ && outputOffset_ == outputEnd_;
}

bool ParallelCompressor::nextOutput()
{
    if (finished_)
        return false;
    while (!sourceEnded_ && !work_->isFull())
        submitNextPiece();
    outputOffset_ = 0;
    if (!work_->isEmpty()) {
        Piece piece = work_->take();
        if (gzip_) {
            crc_ = quint32(crc32_combine(crc_, piece.crc, z_off_t(piece.size)));
            length_ += quint32(piece.size);
        }
        output_ = std::move(piece.bytes);
        outputOffset_ = piece.begin;
        outputEnd_ = piece.begin + piece.length;
        return true;
    }
    finished_ = true;
    output_.clear();
    if (gzip_) {
        appendLittleEndian(output_, crc_);
        appendLittleEndian(output_, length_);
    }
    outputEnd_ = output_.size();
    return outputEnd_ > 0;
}

void ParallelCompressor::submitNextPiece()
{
    QByteArray piece(pieceSize_, Qt::Uninitialized);
    qint64 filled = 0;
    QString failure;
    // Reading on after a short read: a failure after some bytes came must not pass for the end.
    while (filled < pieceSize_) {
        const qint64 count = readFully(*source_, piece.data() + filled, pieceSize_ - filled);
        if (count > 0) {
            filled += count;
            continue;
        }
        if (count < 0 || (!gzip_ && !source_->atEnd()))
            failure = gzip_ ? QObject::tr("Cannot read the data to compress: %1").arg(source_->errorString())
                            : QObject::tr("Error in compressed block data");
        break;
    }
    piece.resize(int(filled));
    sourceEnded_ = !failure.isEmpty() || filled < pieceSize_;
    if (!failure.isEmpty()) {
        // Handed out in turn, after the pieces read before the failure.
        work_->submit([failure]() -> Piece { throw Exception::Compressor(failure); });
        return;
    }
    if (gzip_) {
        const QByteArray previous = previous_;
        const bool last = sourceEnded_;
        work_->submit([piece, previous, last] {
            const quint32 crc = quint32(crc32(0, reinterpret_cast<const Bytef*>(piece.constData()), uInt(piece.size())));
            QByteArray bytes = deflatePiece(piece, previous, last);
            const int length = bytes.size();
            return Piece{std::move(bytes), crc, piece.size(), 0, length};
        });
        previous_ = piece;
        return;
    }
    // An LZ4 stream ends between blocks: an empty last piece makes no block.
    if (filled > 0) {
        const Algorithm format = algorithm();
        work_->submit([piece, format] {
            QByteArray room(int(CompressorLz4::encodedRoom(piece.size())), Qt::Uninitialized);
            qint64 size = 0;
            const char* begin = CompressorLz4::encodeBlock(piece.constData(), piece.size(), format, room.data(), size);
            return Piece{room, 0, piece.size(), int(begin - room.constData()), int(size)};
        });
    }
}

} // namespace ZRV::Stream::Compression
