#include "outputtarget.h"

#include "objectfile.h"
#include "privatefile.h"
#include "systemerror.h"
#include "toolerror.h"

#include <QFile>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

ToolError refusal(const QString& path, const QString& cause)
{
    return ToolError(ToolError::Failure, QStringLiteral("cannot write %1: %2").arg(path, cause));
}

} // namespace

OutputTarget::OutputTarget(const QString& path, qint64 expectedSize, bool sparse)
    : path_(path == QLatin1String("-") ? QStringLiteral("standard output") : path)
{
    int descriptor = -1;
    if (const std::optional<ObjectLocation> object = ObjectLocation::parse(path)) {
        file_ = std::make_unique<ObjectFile>(*object, PrivateFile::Replace, ObjectFile::Streamed);
        if (!file_->open(QIODevice::WriteOnly))
            throw ToolError(ToolError::Failure, file_->errorString());
        return;
    }
    if (path == QLatin1String("-")) {
        descriptor = dup(STDOUT_FILENO);
    } else {
        struct stat link
        {
        };
        struct stat status
        {
        };
        const QByteArray name = QFile::encodeName(path);
        const bool exists = lstat(name.constData(), &link) == 0;
        if (!exists || S_ISREG(link.st_mode)) {
            file_ = std::make_unique<PrivateFile>(path, PrivateFile::Replace, sparse);
            if (!file_->open(QIODevice::ReadWrite))
                throw ToolError(ToolError::Failure, file_->errorString());
            return;
        }
        if (stat(name.constData(), &status) != 0)
            throw refusal(path, systemError());
        if (S_ISDIR(status.st_mode))
            throw refusal(path, systemError(EISDIR));
        if (S_ISREG(status.st_mode))
            throw refusal(path, QStringLiteral("it is a symbolic link; name the file itself"));
        blockDevice_ = S_ISBLK(status.st_mode);
        descriptor = ::open(name.constData(), O_WRONLY | O_CLOEXEC);
        if (descriptor < 0)
            throw refusal(path, systemError());
        quint64 capacity = 0;
        if (blockDevice_ && ioctl(descriptor, BLKGETSIZE64, &capacity) != 0) {
            const QString cause = systemError();
            ::close(descriptor);
            throw refusal(path, cause);
        }
        if (blockDevice_ && expectedSize > 0 && capacity < quint64(expectedSize)) {
            ::close(descriptor);
            throw refusal(
                path, QStringLiteral("the device holds %1 bytes, the data needs %2").arg(capacity).arg(expectedSize));
        }
    }
    if (descriptor >= 0 && isatty(descriptor)) {
        ::close(descriptor);
        throw refusal(path_, QStringLiteral("it is a terminal; redirect the output or name a file"));
    }
    stream_ = std::make_unique<QFile>();
    if (descriptor < 0
        || !stream_->open(descriptor, QIODevice::WriteOnly | QIODevice::Unbuffered, QFileDevice::AutoCloseHandle))
        throw refusal(path_, systemError());
}

OutputTarget::~OutputTarget() = default;

QIODevice& OutputTarget::device()
{
    return file_ ? static_cast<QIODevice&>(*file_) : *stream_;
}

void OutputTarget::commit()
{
    if (file_) {
        file_->commit();
        return;
    }
    if (blockDevice_ && fsync(stream_->handle()) != 0)
        throw refusal(path_, systemError());
}
