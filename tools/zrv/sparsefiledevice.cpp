#include "sparsefiledevice.h"

#include <QFile>
#include <QVariant>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

SparseFileDevice::SparseFileDevice(QString path, QObject* parent)
    : QIODevice(parent)
    , path_(std::move(path))
{
}

SparseFileDevice::~SparseFileDevice()
{
    SparseFileDevice::close();
}

bool SparseFileDevice::open(OpenMode mode)
{
    if ((mode & ReadWrite) != ReadOnly || descriptor_ >= 0) {
        setErrorString(tr("The file can only be opened once, for reading"));
        return false;
    }
    descriptor_ = ::open(QFile::encodeName(path_).constData(), O_RDONLY | O_CLOEXEC);
    struct stat status {};
    if (descriptor_ < 0 || fstat(descriptor_, &status) != 0) {
        setErrorString(QString::fromLocal8Bit(strerror(errno)));
        close();
        return false;
    }
    size_ = status.st_size;
    position_ = 0;
    return QIODevice::open(mode | Unbuffered);
}

void SparseFileDevice::close()
{
    if (isOpen())
        QIODevice::close();
    if (descriptor_ >= 0)
        ::close(descriptor_);
    descriptor_ = -1;
}

qint64 SparseFileDevice::size() const
{
    return size_;
}

bool SparseFileDevice::seek(qint64 pos)
{
    if (pos > size_ || !QIODevice::seek(pos))
        return false;
    position_ = pos;
    return true;
}

bool SparseFileDevice::atEnd() const
{
    return !isOpen() || position_ >= size_;
}

bool SparseFileDevice::liesInHole(qint64 offset, qint64 length) const
{
    const off_t nextData = lseek(descriptor_, offset, SEEK_DATA);
    if (nextData < 0)
        return errno == ENXIO; // no data from offset to the end of the file
    return nextData >= offset + length;
}

qint64 SparseFileDevice::readData(char* data, qint64 maxSize)
{
    const qint64 length = qMin(maxSize, size_ - position_);
    if (length <= 0)
        return 0;
    const bool hole = liesInHole(position_, length);
    setProperty("IS_USED", QVariant(hole ? 0 : 1));
    if (hole) {
        memset(data, 0, size_t(length));
        position_ += length;
        return length;
    }
    qint64 done = 0;
    while (done < length) {
        const ssize_t count = pread(descriptor_, data + done, size_t(length - done), position_ + done);
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0) {
            setErrorString(count < 0 ? QString::fromLocal8Bit(strerror(errno)) : tr("The file shrank while read"));
            if (done == 0)
                return -1;
            break;
        }
        done += count;
    }
    position_ += done;
    return done;
}

qint64 SparseFileDevice::writeData(const char*, qint64)
{
    return -1;
}
