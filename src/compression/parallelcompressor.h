#pragma once

#include "compression/compressorbase.h"

#include <memory>
#include <vector>

namespace ZRV::Stream {
template <typename Result>
class OrderedWork;
}

namespace ZRV::Stream::Compression {

// A compressing engine that cuts its source into fixed-size pieces and compresses them side by
// side on worker threads, handing the results out in source order. The source is read on the
// caller's thread only; at most workers + 2 pieces are in flight, in buffers allocated once, so
// memory stays at a few pieces whatever the input. The bytes depend only on the source's bytes,
// never on the worker count.
//
// gzip (algorithm 1): one gzip member, with the header CompressorBoost writes (no name, comment
// or time; OS 255), made of pieces of GzipPieceSize source bytes. Each piece is raw deflate at
// zlib's default level with the previous 32 KiB of the source as preset dictionary, ended with a
// sync flush (an empty stored block), so the pieces join into one deflate stream; the piece
// shorter than GzipPieceSize (empty when the source's size is a multiple of it) ends the stream.
// The trailer's CRC-32 joins the pieces' CRCs (crc32_combine), its length is the size mod 2^32.
// Any gzip reader reads the member; the bytes differ from CompressorBoost's.
//
// LZ4 (algorithms 3 and 4): the blocks CompressorLz4 writes, byte for byte, each compressed on a
// worker (CompressorLz4::BlockSize source bytes a block).
//
// A source read failure throws Exception::Compressor after the pieces before it were handed out
// ("Cannot read the data to compress: <source's error>" for gzip, "Error in compressed block
// data" for LZ4), as does a piece that fails to compress. The engine must not be read again
// after an exception.
class ParallelCompressor : public CompressorBase
{
public:
    static const qint32 GzipPieceSize = 131072;

    // workers >= 2; more than 64 (gzip) or 16 (LZ4) count as that many, which bounds memory.
    // Throws ZRV::Exception::InvalidData "Unsupported compression algorithm" for
    // algorithms other than 1, 3 and 4.
    ParallelCompressor(QSharedPointer<QIODevice> source, ZRV::Core::Compression::Algorithm algorithm, int workers);
    ~ParallelCompressor() override;

    qint64 readData(char* data, qint64 maxSize) override;
    // True once the last byte (gzip: of the trailer) was handed out.
    bool atEnd() const override;

private:
    // The buffers of one piece: its source bytes and its compressed form.
    struct Slot
    {
        std::unique_ptr<char[]> raw;
        std::unique_ptr<char[]> coded;
        qint64 size = 0;
    };
    // A compressed piece, in its slot's coded buffer, and its source bytes' CRC-32 (gzip).
    struct Piece
    {
        const char* bytes = nullptr;
        qint64 length = 0;
        quint32 crc = 0;
        qint64 size = 0;
    };

    // Reads the next piece into the next slot and gives it to a worker; a short piece ends the
    // source.
    void submitNextPiece();
    // Points the output at the next bytes to hand out; false when nothing more comes.
    bool nextOutput();

    const QSharedPointer<QIODevice> source_;
    const bool gzip_;
    const qint32 pieceSize_;
    const qint64 codedRoom_;
    // One slot more than pieces in flight: a slot is filled again only once the piece read
    // into it, and the one that took its tail as dictionary, were handed out.
    std::vector<Slot> slots_;
    int nextSlot_ = 0;
    // Declared after the slots: its destructor waits for the jobs that use them.
    std::unique_ptr<OrderedWork<Piece>> work_;
    const Slot* previous_ = nullptr;
    bool sourceEnded_ = false;
    bool finished_ = false;
    quint32 crc_ = 0;
    quint32 length_ = 0;
    // The gzip header, then the trailer.
    char frame_[10];
    // What is being handed out.
    const char* output_ = nullptr;
    qint64 outputSize_ = 0;
    qint64 outputOffset_ = 0;
};

} // namespace ZRV::Stream::Compression
