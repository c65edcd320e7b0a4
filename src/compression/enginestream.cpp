#include "compression/enginestream.h"

#include "compression/compressorboost.h"
#include "compression/compressorlz4.h"
#include "compression/parallelcompressor.h"
#include "core/zrvdebug.h"

namespace ZRV::Stream::Compression {

using ZRV::Core::Compression::Algorithm;

static std::unique_ptr<CompressorBase> createEngine(const QSharedPointer<QIODevice>& source, Algorithm algorithm,
                                                    bool isCompressor, int workers = 1)
{
    if (workers > 1 && isCompressor)
        return std::make_unique<ParallelCompressor>(source, algorithm, workers);
    switch (algorithm) {
    case ZRV::Core::Compression::Gzip:
        return std::make_unique<CompressorBoost>(source, algorithm, isCompressor);
    case ZRV::Core::Compression::Lz4:
    case ZRV::Core::Compression::Lz4Flagged:
        return std::make_unique<CompressorLz4>(source, algorithm, isCompressor);
    default:
        ZrvDebug("TXK").error() << "Unsupported compression algorithm";
        return nullptr;
    }
}

EngineStream::EngineStream(QSharedPointer<QIODevice> source, Algorithm algorithm, bool isCompressor, QObject* parent)
    : IStreamRead(source, parent)
    , engine_(createEngine(source, algorithm, isCompressor))
    , algorithm_(algorithm)
{
}

EngineStream::~EngineStream() = default;

bool EngineStream::isSequential() const
{
    return true;
}

bool EngineStream::open(OpenMode mode)
{
    if (!engine_) {
        setErrorString(tr("Unsupported compression algorithm"));
        return false;
    }
    return IStreamRead::open(mode);
}

qint64 EngineStream::size() const
{
    return 0;
}

bool EngineStream::atEnd() const
{
    // Bytes that Qt holds back (peek, ungetChar) have not been delivered yet.
    return QIODevice::bytesAvailable() == 0 && (!engine_ || engine_->atEnd());
}

Algorithm EngineStream::algorithm() const
{
    return algorithm_;
}

void EngineStream::replaceEngine(int workers)
{
    if (engine_)
        engine_ = createEngine(source_, algorithm_, engine_->isCompressor(), workers);
}

qint64 EngineStream::stopWithError(const QString& text)
{
    setErrorString(text);
    close();
    return -1;
}

} // namespace ZRV::Stream::Compression
