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

protected:
    qint64 readData(char* data, qint64 maxSize) override;
};

} // namespace ZRV::Stream
