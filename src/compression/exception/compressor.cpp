#include "compression/exception/compressor.h"

namespace ZRV::Stream::Compression::Exception {

Compressor::Compressor(const QString& message)
    : Base(message)
{
}

Compressor::~Compressor() = default;

} // namespace ZRV::Stream::Compression::Exception
