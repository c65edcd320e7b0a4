#pragma once

#include "core/encryption/algorithm.h"

#include <QIODevice>
#include <QSharedPointer>

namespace ZRV::Stream::Compression {

// A pull-model codec: readData() pulls from the engine's source and hands out compressed bytes
// (isCompressor) or decompressed bytes. Engines are strictly sequential and never rewind; after
// an exception their state is not repaired and they must not be read again.
class CompressorBase
{
public:
    // The base keeps no source; each engine keeps what it needs.
    CompressorBase(QSharedPointer<QIODevice> source, ZRV::Core::Compression::Algorithm algorithm, bool isCompressor);
    virtual ~CompressorBase();

    // Copies up to maxSize produced bytes into data and returns their count, 0 when nothing
    // more comes (never -1). Throws Exception::Compressor, or another std::exception, on failure.
    virtual qint64 readData(char* data, qint64 maxSize) = 0;
    // True when no further byte will come out of readData.
    virtual bool atEnd() const = 0;

    ZRV::Core::Compression::Algorithm algorithm() const;
    bool isCompressor() const;

private:
    const ZRV::Core::Compression::Algorithm algorithm_;
    const bool isCompressor_;
};

} // namespace ZRV::Stream::Compression
