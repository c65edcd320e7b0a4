#pragma once

#include "core/exception/base.h"
#include "zrvstreams_export.h"

namespace ZRV::Stream::Compression::Exception {

// A compressor engine could not produce or decode its data; the message says which.
class ZRVSTREAMS_EXPORT Compressor : public ZRV::Exception::Base
{
public:
    explicit Compressor(const QString& message);
    ~Compressor() override;
};

} // namespace ZRV::Stream::Compression::Exception
