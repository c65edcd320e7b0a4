#pragma once

#include "compression/compressorbase.h"

#include <memory>

namespace ZRV::Stream::Compression {

// The gzip engine (algorithm 1). Compression writes one member: zlib's default level, 15 window
// bits, no file name, comment or modification time. Decompression takes any gzip data, several
// members included, and checks each member's CRC-32 and length. Damage never ends the data
// quietly: a deflate error, a CRC-32 or length mismatch, input that ends inside a member (or holds
// no member at all) and bytes after a member that start no new one throw Exception::Compressor
// naming the fault, and so does a source read that fails.
class CompressorBoost : public CompressorBase
{
public:
    // Throws ZRV::Exception::InvalidData "Unsupported compression algorithm" for any algorithm but 1.
    CompressorBoost(QSharedPointer<QIODevice> source, ZRV::Core::Compression::Algorithm algorithm, bool isCompressor);
    ~CompressorBoost() override;

    qint64 readData(char* data, qint64 maxSize) override;
    // True once the end of the data was reached, or after a failure.
    bool atEnd() const override;

    // True while the engine has met neither the end of the data nor a failure.
    bool isGood() const;

private:
    class Deflater;
    class Inflater;
    class Codec;
    std::unique_ptr<Codec> codec_;
};

} // namespace ZRV::Stream::Compression
