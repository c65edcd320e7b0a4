#include "sourcedevice.h"

#include "systemerror.h"

#include <QFile>
#include <QVariant>
#include <cstring>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

SourceDevice::SourceDevice(QString path, bool markUnused)
    : path_(std::move(path))
    , markUnused_(markUnused)
{
}

SourceDevice::~SourceDevice()
{
    SourceDevice::close();
}

QString SourceDevice::name() const
{
    return path_ == QLatin1String("-") ? QStringLiteral("standard input") : path_;
}

bool SourceDevice::open(OpenMode mode)
{
    if ((mode & ReadWrite) != ReadOnly || descriptor_ >= 0) {
        setErrorString(QStringLiteral("%1 can only be opened once, for reading").arg(name()));
        return false;
    }
    if (path_ == QLatin1String("-")) {
        descriptor_ = STDIN_FILENO;
    } else {
        descriptor_ = ::open(QFile::encodeName(path_).constData(), O_RDONLY | O_CLOEXEC);
        ownsDescriptor_ = true;
    }
    struct stat status
    {
    };
    if (descriptor_ < 0 || fstat(descriptor_, &status) != 0) {
        setErrorString(QStringLiteral("cannot open %1: %2").arg(name(), systemError()));
        close();
        return false;
    }
    sequential_ = false;
    knowsHoles_ = false;
    size_ = 0;
    if (S_ISREG(status.st_mode)) {
        size_ = status.st_size;
        knowsHoles_ = true;
    } else if (S_ISBLK(status.st_mode)) {
        quint64 bytes = 0;
        if (ioctl(descriptor_, BLKGETSIZE64, &bytes) != 0) {
            setErrorString(QStringLiteral("cannot read the size of %1: %2").arg(name(), systemError()));
            close();
            return false;
        }
        size_ = qint64(bytes);
    } else if (S_ISDIR(status.st_mode)) {
        setErrorString(QStringLiteral("cannot read %1: %2").arg(name(), systemError(EISDIR)));
        close();
        return false;
    } else {
        sequential_ = true; // FIFO, character device, socket
    }
    position_ = 0;
    ended_ = false;
    return QIODevice::open(mode | Unbuffered);
}

void SourceDevice::close()
{
    if (isOpen())
        QIODevice::close();
    if (descriptor_ >= 0 && ownsDescriptor_)
        ::close(descriptor_);
    descriptor_ = -1;
    ownsDescriptor_ = false;
}

bool SourceDevice::isSequential() const
{
    return sequential_;
}

qint64 SourceDevice::size() const
{
    return sequential_ ? 0 : size_;
}

bool SourceDevice::seek(qint64 pos)
{
    if (sequential_ || pos > size_ || !QIODevice::seek(pos))
        return false;
    position_ = pos;
    return true;
}

bool SourceDevice::atEnd() const
{
    if (!isOpen())
        return true;
    return sequential_ ? ended_ : position_ >= size_;
}

bool SourceDevice::liesInHole(qint64 offset, qint64 length) const
{
    const off_t nextData = lseek(descriptor_, offset, SEEK_DATA);
    if (nextData < 0)
        return errno == ENXIO; // no data from offset to the end of the file
    return nextData >= offset + length;
}

qint64 SourceDevice::readData(char* data, qint64 maxSize)
{
    const qint64 length = sequential_ ? maxSize : qMin(maxSize, size_ - position_);
    if (length <= 0 || ended_)
        return 0;
    if (markUnused_ && knowsHoles_ && liesInHole(position_, length)) {
        setProperty("IS_USED", QVariant(0));
        memset(data, 0, size_t(length));
        position_ += length;
        return length;
    }
    qint64 done = 0;
    while (done < length) {
        const ssize_t count = sequential_ ? ::read(descriptor_, data + done, size_t(length - done))
                                          : pread(descriptor_, data + done, size_t(length - done), position_ + done);
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0) {
            setErrorString(QStringLiteral("cannot read %1: %2").arg(name(), systemError()));
            return -1;
        }
        if (count == 0) {
            if (!sequential_) {
                setErrorString(QStringLiteral("%1 shrank while it was read").arg(name()));
                return -1;
            }
            ended_ = true;
            break;
        }
        done += count;
    }
    position_ += done;
    if (markUnused_) {
        const bool zero = !knowsHoles_ && done > 0 && data[0] == 0 && memcmp(data, data + 1, size_t(done - 1)) == 0;
        setProperty("IS_USED", QVariant(zero ? 0 : 1));
    }
    return done;
}

qint64 SourceDevice::writeData(const char*, qint64)
{
    return -1;
}
