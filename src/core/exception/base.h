#pragma once

#include "zrvcore_export.h"

#include <QByteArray>
#include <QString>
#include <exception>

namespace ZRV::Exception {

// Root of every exception the product throws; thrown by value, caught by reference.
class ZRVCORE_EXPORT Base : public std::exception
{
public:
    explicit Base(const QString& message);
    ~Base() override;

    QString message() const;
    // Valid as long as the exception lives.
    const char* what() const noexcept override;

private:
    QString message_;
    QByteArray text_;
};

} // namespace ZRV::Exception
