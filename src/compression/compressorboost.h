#pragma once

#include "compression/compressorbase.h"
#include "compression/iodevicesource.h"

#include <boost/iostreams/filtering_stream.hpp>
#include <boost/iostreams/stream.hpp>

namespace ZRV::Stream::Compression {

// The gzip engine (algorithm 1): zlib's default level, 15 window bits, no file name, comment or
// modification time; decompression accepts any gzip data. Corrupt or truncated gzip input ends
// the output early without an exception: the read that meets the damage returns 0 and atEnd()
// turns true.
class CompressorBoost : public CompressorBase
{
public:
    // Throws ZRV::Exception::InvalidData "Unsupported compression algorithm" for any algorithm but 1.
    CompressorBoost(QSharedPointer<QIODevice> source, ZRV::Core::Compression::Algorithm algorithm,
                    bool isCompressor);
    ~CompressorBoost() override;

    qint64 readData(char* data, qint64 maxSize) override;
    // True once a read met the end of the data or a failure.
    bool atEnd() const override;

    // True while the filter chain has met neither the end of the data nor a failure.
    bool isGood() const;

private:
    boost::iostreams::stream<boost::iostreams::IoDeviceSource> input_;
    boost::iostreams::filtering_istream filterChain_;
};

} // namespace ZRV::Stream::Compression
