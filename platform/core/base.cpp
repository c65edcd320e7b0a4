#include "core/exception/base.h"

namespace ZRV::Exception {

Base::Base(const QString& message)
    : message_(message)
    , text_(message.toUtf8())
{
}

Base::~Base() = default;

QString Base::message() const
{
    return message_;
}

const char* Base::what() const noexcept
{
    return text_.constData();
}

} // namespace ZRV::Exception
