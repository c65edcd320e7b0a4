#include "privatefile.h"

#include "systemerror.h"
#include "toolerror.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Zero blocks are skipped at this granularity, the smallest block file systems allocate.
const qint64 HoleBlock = 4096;

bool allZero(const char* data, qint64 length)
{
    return length > 0 && data[0] == 0 && memcmp(data, data + 1, size_t(length - 1)) == 0;
}

} // namespace

PrivateFile::PrivateFile(QString target, Placement placement, bool sparse)
    : target_(std::move(target))
    , placement_(placement)
    , sparse_(sparse)
{
}

PrivateFile::~PrivateFile()
{
    discard();
}

bool PrivateFile::open(OpenMode mode)
{
    if (descriptor_ >= 0)
        return QIODevice::open(mode | Unbuffered);
    const QFileInfo info(target_);
    const QString directory = info.absolutePath();
    // A random part, so a name planted in a shared directory is stepped over instead of followed.
    for (int attempt = 0; attempt < 16 && descriptor_ < 0; ++attempt) {
        temporaryPath_ = QStringLiteral("%1/.incoming-%2-%3-%4")
                             .arg(directory)
                             .arg(QCoreApplication::applicationPid())
                             .arg(QRandomGenerator::system()->generate(), 8, 16, QLatin1Char('0'))
                             .arg(info.fileName().left(64));
        descriptor_ = ::open(QFile::encodeName(temporaryPath_).constData(),
                             O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (descriptor_ < 0 && errno != EEXIST)
            break;
    }
    if (descriptor_ < 0) {
        setErrorString(QStringLiteral("cannot create a file in %1: %2").arg(directory, systemError()));
        temporaryPath_.clear();
        return false;
    }
    size_ = 0;
    failure_.clear();
    return QIODevice::open(mode | Unbuffered);
}

void PrivateFile::close()
{
    QIODevice::close();
}

qint64 PrivateFile::size() const
{
    return size_;
}

bool PrivateFile::seek(qint64 pos)
{
    return pos >= 0 && QIODevice::seek(pos);
}

qint64 PrivateFile::readData(char* data, qint64 maxSize)
{
    const ssize_t count = pread(descriptor_, data, size_t(maxSize), pos());
    if (count < 0)
        setErrorString(systemError());
    return count;
}

qint64 PrivateFile::writeData(const char* data, qint64 maxSize)
{
    const qint64 start = pos();
    qint64 done = 0;
    while (done < maxSize) {
        // A sparse file skips each aligned zero block; the size set at commit() covers a zero tail.
        const qint64 offset = start + done;
        qint64 piece = qMin(maxSize - done, HoleBlock - offset % HoleBlock);
        if (sparse_ && piece == HoleBlock && allZero(data + done, piece)) {
            done += piece;
            continue;
        }
        if (sparse_)
            while (done + piece < maxSize && !allZero(data + done + piece, qMin(HoleBlock, maxSize - done - piece)))
                piece += qMin(HoleBlock, maxSize - done - piece);
        const ssize_t count = pwrite(descriptor_, data + done, size_t(piece), offset);
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0) {
            failure_ = systemError(count < 0 ? errno : ENOSPC);
            setErrorString(QStringLiteral("%1: %2").arg(target_, failure_));
            return -1;
        }
        done += count;
    }
    size_ = qMax(size_, start + maxSize);
    return maxSize;
}

void PrivateFile::commit()
{
    if (descriptor_ < 0)
        throw ToolError(ToolError::Failure, QStringLiteral("cannot write %1: %2").arg(target_, errorString()));
    if (failure_.isEmpty() && sparse_ && ftruncate(descriptor_, size_) != 0)
        failure_ = systemError();
    if (failure_.isEmpty() && fsync(descriptor_) != 0)
        failure_ = systemError();
    if (!failure_.isEmpty())
        throw ToolError(ToolError::Failure, QStringLiteral("cannot write %1: %2").arg(target_, failure_));

    const QByteArray from = QFile::encodeName(temporaryPath_);
    const QByteArray to = QFile::encodeName(target_);
    if (placement_ == Replace) {
        struct stat status
        {
        };
        if (lstat(to.constData(), &status) == 0 && !S_ISREG(status.st_mode))
            throw ToolError(ToolError::Failure,
                            QStringLiteral("%1 exists and is not a regular file; it was left alone").arg(target_));
        if (rename(from.constData(), to.constData()) != 0)
            throw ToolError(ToolError::Failure, QStringLiteral("cannot write %1: %2").arg(target_, systemError()));
    } else if (renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) != 0) {
        // File systems without RENAME_NOREPLACE still refuse to link over an existing name.
        if (errno != EINVAL && errno != ENOSYS)
            throw ToolError(ToolError::Failure, QStringLiteral("cannot create %1: %2").arg(target_, systemError()));
        if (link(from.constData(), to.constData()) != 0)
            throw ToolError(ToolError::Failure, QStringLiteral("cannot create %1: %2").arg(target_, systemError()));
        unlink(from.constData());
    }
    ::close(descriptor_);
    descriptor_ = -1;
    temporaryPath_.clear();
    QIODevice::close();
    if (!syncDirectory(target_))
        throw ToolError(ToolError::Failure,
                        QStringLiteral("cannot flush the directory of %1: %2").arg(target_, systemError()));
}

bool PrivateFile::syncDirectory(const QString& path)
{
    const int directory =
        ::open(QFile::encodeName(QFileInfo(path).absolutePath()).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (directory < 0)
        return false;
    const bool synced = fsync(directory) == 0;
    ::close(directory);
    return synced;
}

void PrivateFile::discard()
{
    if (descriptor_ < 0)
        return;
    ::close(descriptor_);
    descriptor_ = -1;
    unlink(QFile::encodeName(temporaryPath_).constData());
    temporaryPath_.clear();
    QIODevice::close();
}
