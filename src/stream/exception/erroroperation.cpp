#include "stream/exception/erroroperation.h"

namespace ZRV::Stream::Exception {

ErrorOperation::ErrorOperation(const QString& message)
    : Base(message)
{
}

ErrorOperation::~ErrorOperation() = default;

} // namespace ZRV::Stream::Exception
