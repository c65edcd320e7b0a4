#pragma once

#include "core/encryption/algorithm.h"
#include "stream/istreamread.h"
#include "zrvstreams_export.h"

#include <memory>

namespace ZRV::Stream::Compression {

class CompressorBase;

// The common frame of CompressionStream and DecompressionStream: a sequential, read-only stream
// over one compressor engine, chosen by algorithm (1 gzip, 3 and 4 the LZ4 block format).
// size() is 0. With any other algorithm the stream has no engine: the constructor logs
// "Unsupported compression algorithm", open() fails with that error string, readData() returns
// -1 and atEnd() is true. Subclasses turn engine failures into a read error (-1) and a closed
// stream with an error string, so a stream serves one pass over its source.
class ZRVSTREAMS_EXPORT EngineStream : public IStreamRead
{
    Q_OBJECT

public:
    ~EngineStream() override;

    bool isSequential() const override;
    bool open(OpenMode mode) override;
    qint64 size() const override;
    // True once every byte the engine will produce has been read.
    bool atEnd() const override;

    ZRV::Core::Compression::Algorithm algorithm() const;

protected:
    EngineStream(QSharedPointer<QIODevice> source, ZRV::Core::Compression::Algorithm algorithm, bool isCompressor,
                 QObject* parent = nullptr);

    // Replaces the engine (when there is one) by a new one of the same algorithm and direction
    // for `workers` threads: ParallelCompressor for more than one when compressing.
    void replaceEngine(int workers);
    // Sets the error string, closes the stream and its source, and returns the -1 that readData
    // hands on.
    qint64 stopWithError(const QString& text);

    std::unique_ptr<CompressorBase> engine_;

private:
    const ZRV::Core::Compression::Algorithm algorithm_;
};

} // namespace ZRV::Stream::Compression
