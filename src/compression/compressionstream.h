#pragma once

#include "compression/enginestream.h"
#include "zrvstreams_export.h"

namespace ZRV::Stream {

// Presents its source's bytes compressed with the given algorithm (see EngineStream). When the
// engine fails, the read returns -1 and the stream closes with the engine's message, or
// "CompressionStream: (de)compressor return stream error", as error string.
class ZRVSTREAMS_EXPORT CompressionStream : public Compression::EngineStream
{
    Q_OBJECT

public:
    CompressionStream(QSharedPointer<QIODevice> source, ZRV::Core::Compression::Algorithm algorithm,
                      QObject* parent = nullptr);

    // Before open: with more than one worker, the source is compressed in pieces side by side
    // on that many threads (see ParallelCompressor), and the output no longer depends on how
    // many there are; gzip output then differs from the one-worker bytes but stays one gzip
    // member. One (the default) compresses on the caller's thread, with no thread started.
    // Once open, the count stays as it was ("CompressionStream: worker count set after open").
    void setWorkerCount(int count);
    int workerCount() const;

protected:
    qint64 readData(char* data, qint64 maxSize) override;

private:
    int workerCount_ = 1;
};

} // namespace ZRV::Stream
