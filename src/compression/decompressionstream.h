#pragma once

#include "compression/enginestream.h"
#include "zrvstreams_export.h"

namespace ZRV::Stream {

// Presents the uncompressed bytes of its source, compressed with the given algorithm (see
// EngineStream). When the engine fails, the read returns -1 and the stream closes with the
// engine's message, or "DecompressionStream: (de)compressor return stream error", as error
// string. Damaged or cut gzip data is such a failure, with a message naming the damage.
class ZRVSTREAMS_EXPORT DecompressionStream : public Compression::EngineStream
{
    Q_OBJECT

public:
    DecompressionStream(QSharedPointer<QIODevice> source, ZRV::Core::Compression::Algorithm algorithm,
                        QObject* parent = nullptr);

protected:
    qint64 readData(char* data, qint64 maxSize) override;
};

} // namespace ZRV::Stream
