#include "cloud/ioperation.h"

namespace ZRV::Cloud {

IOperation::IOperation(QObject* parent)
    : QObject(parent)
{
}

IOperation::~IOperation() = default;

} // namespace ZRV::Cloud
