#pragma once

#include "core/exception/base.h"

namespace ZRV::Stream::Compression::Exception {

// A compressor engine could not produce or decode its data; the message says which.
class Compressor : public ZRV::Exception::Base
{
public:
    explicit Compressor(const QString& message);
    ~Compressor() override;
};

} // namespace ZRV::Stream::Compression::Exception
