#pragma once

#include "core/exception/base.h"
#include "zrvstreams_export.h"

namespace ZRV::Stream::Exception {

// A stream failed while reading; the message says why.
class ZRVSTREAMS_EXPORT ErrorOperation : public ZRV::Exception::Base
{
public:
    explicit ErrorOperation(const QString& message);
    ~ErrorOperation() override;
};

} // namespace ZRV::Stream::Exception
