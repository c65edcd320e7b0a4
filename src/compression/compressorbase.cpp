#include "compression/compressorbase.h"

namespace ZRV::Stream::Compression {

CompressorBase::CompressorBase(QSharedPointer<QIODevice>, ZRV::Core::Compression::Algorithm algorithm,
                               bool isCompressor)
    : algorithm_(algorithm)
    , isCompressor_(isCompressor)
{
}

CompressorBase::~CompressorBase() = default;

ZRV::Core::Compression::Algorithm CompressorBase::algorithm() const
{
    return algorithm_;
}

bool CompressorBase::isCompressor() const
{
    return isCompressor_;
}

} // namespace ZRV::Stream::Compression
