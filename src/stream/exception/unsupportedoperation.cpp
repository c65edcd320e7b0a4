#include "stream/exception/unsupportedoperation.h"

#include "core/zrvdebug.h"

#include <QObject>

namespace ZRV::Stream::Exception {

static const char* const RefusalText = "stream don't support this operation";

UnsupportedOperation::UnsupportedOperation()
    : Base(QObject::tr(RefusalText))
{
}

UnsupportedOperation::~UnsupportedOperation() = default;

void UnsupportedOperation::refuse(const char* signature)
{
    ZrvDebug("TXK").warning() << signature << RefusalText;
    throw UnsupportedOperation();
}

} // namespace ZRV::Stream::Exception
