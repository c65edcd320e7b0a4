#pragma once

#include "core/exception/base.h"

namespace ZRV::Stream::Exception {

// A stream was asked for something it does not do (wrong open mode, the refused direction).
class UnsupportedOperation : public ZRV::Exception::Base
{
public:
    UnsupportedOperation();
    ~UnsupportedOperation() override;

    // Logs the warning line "<signature> stream don't support this operation", then throws.
    [[noreturn]] static void refuse(const char* signature);
};

} // namespace ZRV::Stream::Exception
