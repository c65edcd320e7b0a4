#include "inputsource.h"

#include "toolerror.h"

#include <QFile>
#include <cstdio>

QSharedPointer<QIODevice> openInput(const QString& path)
{
    auto file = QSharedPointer<QFile>::create();
    const bool opened = path == QLatin1String("-") ? file->open(stdin, QIODevice::ReadOnly | QIODevice::Unbuffered)
                                                   : (file->setFileName(path), file->open(QIODevice::ReadOnly));
    if (!opened)
        throw ToolError(ToolError::Failure, QStringLiteral("cannot open %1: %2").arg(path, file->errorString()));
    return file;
}
