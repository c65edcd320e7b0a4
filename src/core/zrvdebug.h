#pragma once

#include "zrvcore_export.h"

#include <QDebug>

class QLoggingCategory;

// Log lines of the product. Each level returns a QDebug for one message, emitted when the
// QDebug is destroyed at the end of the statement, through Qt's message system under a
// QLoggingCategory named after the category given (filter with QT_LOGGING_RULES).
class ZRVCORE_EXPORT ZrvDebug
{
public:
    explicit ZrvDebug(const char* category);

    QDebug debug() const; // QtDebugMsg
    QDebug infoH() const; // QtInfoMsg
    QDebug warning() const; // QtWarningMsg
    QDebug error() const; // QtCriticalMsg

private:
    const QLoggingCategory& category_;
};
