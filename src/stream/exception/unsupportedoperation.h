#pragma once

#include "core/exception/base.h"
#include "zrvstreams_export.h"

namespace ZRV::Stream::Exception {

// A stream was asked for something it does not do (wrong open mode, the refused direction).
class ZRVSTREAMS_EXPORT UnsupportedOperation : public ZRV::Exception::Base
{
public:
    UnsupportedOperation();
    ~UnsupportedOperation() override;

    // Logs the warning line "<signature> stream don't support this operation", then throws.
    [[noreturn]] static void refuse(const char* signature);
};

} // namespace ZRV::Stream::Exception
