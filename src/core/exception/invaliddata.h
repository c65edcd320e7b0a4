#pragma once

#include "core/exception/base.h"

namespace ZRV::Exception {

// Malformed or unsupported data, thrown by the format readers.
class InvalidData : public Base
{
public:
    explicit InvalidData(const QString& message);
    ~InvalidData() override;
};

} // namespace ZRV::Exception
