#include "core/exception/invaliddata.h"

namespace ZRV::Exception {

InvalidData::InvalidData(const QString& message)
    : Base(message)
{
}

InvalidData::~InvalidData() = default;

} // namespace ZRV::Exception
