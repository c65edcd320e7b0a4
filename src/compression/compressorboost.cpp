#include "compression/compressorboost.h"

#include "compression/exception/compressor.h"
#include "core/exception/invaliddata.h"
#include "core/zrvdebug.h"

#include <QObject>
#include <boost/iostreams/filter/gzip.hpp>

namespace io = boost::iostreams;

namespace ZRV::Stream::Compression {

// Both the filter's own buffer and the chain's buffer in front of it: left to its default (128
// bytes), the chain would make zlib work through 128-byte windows at a fraction of its speed.
static const std::streamsize FilterBufferSize = 4096;

CompressorBoost::CompressorBoost(QSharedPointer<QIODevice> source, ZRV::Core::Compression::Algorithm algorithm,
                                 bool isCompressor)
    : CompressorBase(source, algorithm, isCompressor)
    , input_(io::IoDeviceSource(source))
{
    if (algorithm != ZRV::Core::Compression::Gzip) {
        ZrvDebug("TXK").error() << "Unsupported compression algorithm:" << algorithm;
        throw ZRV::Exception::InvalidData(QObject::tr("Unsupported compression algorithm"));
    }
    if (isCompressor)
        filterChain_.push(io::gzip_compressor(io::gzip_params(), FilterBufferSize), FilterBufferSize);
    else
        filterChain_.push(io::gzip_decompressor(io::zlib::default_window_bits, FilterBufferSize), FilterBufferSize);
    filterChain_.push(input_);
}

CompressorBoost::~CompressorBoost() = default;

qint64 CompressorBoost::readData(char* data, qint64 maxSize)
{
    // The chain's stream absorbs filter errors into its state (no exception mask is set); the
    // guard only matters should a gzip error ever leave read().
    try {
        filterChain_.read(data, maxSize);
    } catch (const io::gzip_error& error) {
        ZrvDebug("TXK").error() << "Compressor error:" << error.what();
        throw Exception::Compressor(QString::fromLocal8Bit(error.what()));
    }
    return filterChain_.gcount();
}

bool CompressorBoost::atEnd() const
{
    return !isGood();
}

bool CompressorBoost::isGood() const
{
    return filterChain_.good();
}

} // namespace ZRV::Stream::Compression
