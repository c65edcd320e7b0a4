#include "compression/compressorboost.h"

#include "compression/exception/compressor.h"
#include "compression/iodevicesource.h"
#include "core/exception/invaliddata.h"
#include "core/zrvdebug.h"
#include "stream/readfully.h"

#include <QObject>
#include <boost/iostreams/filter/gzip.hpp>
#include <boost/iostreams/filtering_stream.hpp>
#include <boost/iostreams/stream.hpp>
#include <climits>
#include <zlib.h>

namespace io = boost::iostreams;

namespace ZRV::Stream::Compression {

// Both the filter's own buffer and the chain's buffer in front of it: left to its default (128
// bytes), the chain would make zlib work through 128-byte windows at a fraction of its speed.
static const std::streamsize FilterBufferSize = 4096;
// Compressed bytes the reader asks its source for at a time.
static const qint64 InflateInputSize = 16384;

class CompressorBoost::Codec
{
public:
    virtual ~Codec() = default;
    virtual qint64 read(char* data, qint64 maxSize) = 0;
    virtual bool atEnd() const = 0;
};

// Boost's gzip filter chain over the source.
class CompressorBoost::Deflater : public CompressorBoost::Codec
{
public:
    explicit Deflater(const QSharedPointer<QIODevice>& source)
        : input_(io::IoDeviceSource(source))
    {
        chain_.push(io::gzip_compressor(io::gzip_params(), FilterBufferSize), FilterBufferSize);
        chain_.push(input_);
        // A failing source throws out of the chain instead of ending its data.
        chain_.exceptions(std::ios::badbit);
    }

    qint64 read(char* data, qint64 maxSize) override
    {
        chain_.read(data, maxSize);
        return chain_.gcount();
    }

    bool atEnd() const override { return !chain_.good(); }

private:
    io::stream<io::IoDeviceSource> input_;
    io::filtering_istream chain_;
};

// zlib's own gzip decoding, which checks each member's length as well as its CRC-32 (Boost's
// reader checks only the CRC).
class CompressorBoost::Inflater : public CompressorBoost::Codec
{
public:
    explicit Inflater(QSharedPointer<QIODevice> source)
        : source_(std::move(source))
        , input_(new char[InflateInputSize])
    {
        if (inflateInit2(&stream_, 16 + MAX_WBITS) != Z_OK)
            throw Exception::Compressor(QObject::tr("Cannot start the gzip decoder"));
    }

    ~Inflater() override { inflateEnd(&stream_); }

    qint64 read(char* data, qint64 maxSize) override
    {
        stream_.next_out = reinterpret_cast<Bytef*>(data);
        stream_.avail_out = uInt(qMin<qint64>(maxSize, UINT_MAX));
        const uInt room = stream_.avail_out;
        while (stream_.avail_out > 0 && !ended_) {
            if (stream_.avail_in == 0 && !fillInput())
                break;
            inMember_ = true;
            const int result = inflate(&stream_, Z_NO_FLUSH);
            if (result == Z_STREAM_END) {
                inMember_ = false;
                ++members_;
                inflateReset(&stream_);
            } else if (result != Z_OK) {
                fail(QObject::tr("Damaged gzip data: %1").arg(QString::fromLatin1(stream_.msg ? stream_.msg : "")));
            }
        }
        return qint64(room - stream_.avail_out);
    }

    bool atEnd() const override
    {
        return ended_ || failed_ || (members_ > 0 && !inMember_ && stream_.avail_in == 0 && source_->atEnd());
    }

private:
    // False at a clean end of the input: after a whole member, where nothing more comes.
    bool fillInput()
    {
        const qint64 count = readFully(*source_, input_.get(), InflateInputSize);
        if (count < 0)
            fail(QObject::tr("Cannot read the gzip data: %1").arg(source_->errorString()));
        if (count == 0) {
            if (inMember_ || members_ == 0)
                fail(QObject::tr("The gzip data is cut short"));
            ended_ = true;
            return false;
        }
        stream_.next_in = reinterpret_cast<Bytef*>(input_.get());
        stream_.avail_in = uInt(count);
        return true;
    }

    [[noreturn]] void fail(const QString& message)
    {
        failed_ = true;
        throw Exception::Compressor(message);
    }

    const QSharedPointer<QIODevice> source_;
    const std::unique_ptr<char[]> input_;
    z_stream stream_{};
    int members_ = 0;
    bool inMember_ = false;
    bool ended_ = false;
    bool failed_ = false;
};

CompressorBoost::CompressorBoost(QSharedPointer<QIODevice> source, ZRV::Core::Compression::Algorithm algorithm,
                                 bool isCompressor)
    : CompressorBase(source, algorithm, isCompressor)
{
    if (algorithm != ZRV::Core::Compression::Gzip) {
        ZrvDebug("TXK").error() << "Unsupported compression algorithm:" << algorithm;
        throw ZRV::Exception::InvalidData(QObject::tr("Unsupported compression algorithm"));
    }
    if (isCompressor)
        codec_ = std::make_unique<Deflater>(source);
    else
        codec_ = std::make_unique<Inflater>(source);
}

CompressorBoost::~CompressorBoost() = default;

qint64 CompressorBoost::readData(char* data, qint64 maxSize)
{
    try {
        return codec_->read(data, maxSize);
    } catch (const Exception::Compressor&) {
        throw;
    } catch (const std::exception& error) {
        ZrvDebug("TXK").error() << "Compressor error:" << error.what();
        throw Exception::Compressor(QString::fromLocal8Bit(error.what()));
    }
}

bool CompressorBoost::atEnd() const
{
    return codec_->atEnd();
}

bool CompressorBoost::isGood() const
{
    return !codec_->atEnd();
}

} // namespace ZRV::Stream::Compression
