#include "chainregistry.h"

#include "compression/compressionstream.h"
#include "compression/decompressionstream.h"

using namespace ZRV::Stream;
using ZRV::Core::Compression::Algorithm;

namespace {

template <class Stream, Algorithm algorithm>
QSharedPointer<QIODevice> single(const ChainRegistry::Context& run)
{
    return QSharedPointer<Stream>::create(run.input, algorithm);
}

// Decoding has no worker form: gzip is serial, and LZ4 decodes faster than the file is read.
template <Algorithm algorithm>
QSharedPointer<QIODevice> compressing(const ChainRegistry::Context& run)
{
    auto stream = QSharedPointer<CompressionStream>::create(run.input, algorithm);
    stream->setWorkerCount(run.workers);
    return stream;
}

const ChainRegistry::Registration chains[] = {
    {"gzip-compress", "file -> CompressionStream(gzip)", compressing<ZRV::Core::Compression::Gzip>},
    {"gzip-decompress", "gzip file -> DecompressionStream(gzip)",
     single<DecompressionStream, ZRV::Core::Compression::Gzip>},
    {"lz4-compress", "file -> CompressionStream(LZ4 block format)",
     compressing<ZRV::Core::Compression::Lz4>},
    {"lz4-decompress", "LZ4 block-format file -> DecompressionStream(LZ4)",
     single<DecompressionStream, ZRV::Core::Compression::Lz4>},
};

} // namespace
