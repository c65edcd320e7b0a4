#pragma once

#include "compression/compressorbase.h"

#include <memory>

namespace ZRV::Stream::Compression {

// The LZ4 block-format engine (algorithms 3 and 4). The compressed form is a bare sequence of
// blocks of at most BlockSize source bytes, each a header of variable-length integers (flags,
// uncompressed size, compressed size when the payload is compressed) and a payload that is LZ4
// block data or, when compression does not shrink the block, the bytes as they are. Algorithm 4
// marks every header it writes with flag value 2; the reader ignores that bit.
//
// One readData call works through as many whole blocks as maxSize asks for and keeps the surplus
// of the last one; memory stays at one block and its compressed form. Decoding refuses a block
// before reading its payload when its header claims more than BlockSize bytes, none at all, or a
// payload larger than LZ4 can produce for that size; such a block, a payload cut short or one that
// does not decode to exactly the claimed size throws Exception::Compressor "Error in decompressed
// block data". Input that ends inside a header integer throws std::exception; input that ends
// between blocks is a clean end. A source read failure while compressing throws
// Exception::Compressor "Error in compressed block data".
class CompressorLz4 : public CompressorBase
{
public:
    static const qint32 BlockSize = 1048576;

    // The algorithm is not checked; anything but 4 writes unmarked headers.
    CompressorLz4(QSharedPointer<QIODevice> source, ZRV::Core::Compression::Algorithm algorithm, bool isCompressor);
    ~CompressorLz4() override;

    qint64 readData(char* data, qint64 maxSize) override;
    // True when the source is at its end and every produced byte has been handed out.
    bool atEnd() const override;

    // Writes value as a variable-length integer (seven bits a byte, least significant first, top
    // bit set while more follow) at out and returns the end of what was written.
    static char* writeInt(char* out, quint64 value);
    // Reads a variable-length integer of at most ten bytes. Returns false, with value 0, when not
    // even its first byte can be read; throws std::exception when the input ends inside it.
    static bool tryReadInt(QIODevice& in, quint64& value);
    // Bytes a block of rawSize source bytes may take encoded, with room for its header in front.
    static qint64 encodedRoom(qint64 rawSize);
    // Encodes one block of 1 to BlockSize source bytes into `room` (encodedRoom(rawSize) bytes)
    // exactly as the engine does: returns where the block (header, then payload) begins there and
    // its size in `size`. Thread-safe: the parallel compressor calls it on its workers.
    static char* encodeBlock(const char* raw, qint64 rawSize, ZRV::Core::Compression::Algorithm algorithm,
                             char* room, qint64& size);

private:
    // Writes the header of a block right in front of its payload, which has HeaderRoom bytes
    // before it, and returns where the header begins.
    static char* putHeader(char* payload, bool isCompressed, ZRV::Core::Compression::Algorithm algorithm,
                           qint64 rawSize, qint64 codedSize);
    // Reads and encodes one block into the pending output; false at the end of the source.
    bool compressNextBlock();
    // Reads and decodes one block: straight into room when it fits there (returns its size), else
    // into the pending output (returns 0); -1 at a clean end.
    qint64 decompressNextBlock(char* room, qint64 roomSize);
    // Each block buffer keeps room in front of its data, so a block header can be put right
    // before the payload and the block handed out without copying it. Decoding sizes them by the
    // blocks met, which are mostly far below BlockSize when one stream reads one small block.
    struct BlockBuffer
    {
        std::unique_ptr<char[]> bytes;
        qint64 capacity = 0;
    };
    // The data of buffer, grown to hold size bytes with its first kept bytes in place; only
    // called while nothing is pending in it.
    static char* block(BlockBuffer& buffer, qint64 size, qint64 kept = 0);

    const QSharedPointer<QIODevice> source_;
    BlockBuffer rawBlock_;
    BlockBuffer codedBlock_;
    char* pendingOutput_ = nullptr;
    qint64 pendingSize_ = 0;
};

} // namespace ZRV::Stream::Compression
