#pragma once

#include "core/exception/base.h"
#include "zrvcore_export.h"

namespace ZRV::Exception {

// Malformed or unsupported data, thrown by the format readers.
class ZRVCORE_EXPORT InvalidData : public Base
{
public:
    explicit InvalidData(const QString& message);
    ~InvalidData() override;
};

} // namespace ZRV::Exception
