#include "outputtarget.h"

#include "toolerror.h"

#include <cstdio>

OutputTarget::OutputTarget(const QString& path)
    : path_(path)
{
    if (path == QLatin1String("-")) {
        standardOutput_ = std::make_unique<QFile>();
        if (!standardOutput_->open(stdout, QIODevice::WriteOnly | QIODevice::Unbuffered))
            throw ToolError(ToolError::Failure, QStringLiteral("cannot write to standard output"));
        return;
    }
    file_ = std::make_unique<QSaveFile>(path);
    if (!file_->open(QIODevice::WriteOnly))
        throw ToolError(ToolError::Failure, QStringLiteral("cannot create %1: %2").arg(path, file_->errorString()));
}

QIODevice& OutputTarget::device()
{
    return file_ ? static_cast<QIODevice&>(*file_) : *standardOutput_;
}

void OutputTarget::commit()
{
    if (file_ && !file_->commit())
        throw ToolError(ToolError::Failure, QStringLiteral("cannot write %1: %2").arg(path_, file_->errorString()));
}
