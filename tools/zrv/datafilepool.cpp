#include "datafilepool.h"

#include "systemerror.h"

#include <QFile>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

class PooledFile : public QIODevice
{
public:
    PooledFile(QSharedPointer<DataFilePool> pool, QString path)
        : pool_(std::move(pool))
        , path_(std::move(path))
    {
    }
    ~PooledFile() override { pool_->release(this); }

    bool open(OpenMode mode) override
    {
        const int descriptor = pool_->descriptor(this, path_);
        struct stat status
        {
        };
        if (descriptor < 0 || fstat(descriptor, &status) != 0) {
            setErrorString(QStringLiteral("cannot open %1: %2")
                               .arg(path_, errno ? systemError() : QStringLiteral("it is not a regular file")));
            return false;
        }
        size_ = status.st_size;
        return QIODevice::open(mode | Unbuffered);
    }
    void close() override
    {
        pool_->release(this);
        QIODevice::close();
    }
    qint64 size() const override { return size_; }

protected:
    qint64 readData(char* data, qint64 maxSize) override
    {
        const int descriptor = pool_->descriptor(this, path_);
        ssize_t count = -1;
        while (descriptor >= 0 && (count = pread(descriptor, data, size_t(maxSize), pos())) < 0 && errno == EINTR) { }
        if (count < 0)
            setErrorString(QStringLiteral("cannot read %1: %2")
                               .arg(path_, errno ? systemError() : QStringLiteral("it is not a regular file")));
        return count;
    }
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    const QSharedPointer<DataFilePool> pool_;
    const QString path_;
    qint64 size_ = 0;
};

} // namespace

DataFilePool::DataFilePool()
{
    rlimit files{};
    const rlim_t soft = getrlimit(RLIMIT_NOFILE, &files) == 0 ? files.rlim_cur : 1024;
    limit_ = int(qBound<rlim_t>(4, soft / 4, 256));
}

DataFilePool::~DataFilePool()
{
    for (const Open& entry : open_)
        ::close(entry.descriptor);
}

QMap<unsigned int, QSharedPointer<QIODevice>> DataFilePool::devices(const QMap<unsigned int, QString>& paths)
{
    const auto pool = QSharedPointer<DataFilePool>::create();
    QMap<unsigned int, QSharedPointer<QIODevice>> result;
    for (auto it = paths.begin(); it != paths.end(); ++it)
        result.insert(it.key(), QSharedPointer<PooledFile>::create(pool, it.value()));
    return result;
}

int DataFilePool::descriptor(const void* owner, const QString& path)
{
    for (int i = 0; i < open_.size(); ++i) {
        if (open_[i].owner == owner) {
            open_.move(i, open_.size() - 1);
            return open_.last().descriptor;
        }
    }
    if (open_.size() >= limit_) {
        ::close(open_.first().descriptor);
        open_.removeFirst();
    }
    // O_NONBLOCK: opening a FIFO must not wait for a writer; it is refused below.
    const int descriptor = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    struct stat status
    {
    };
    if (descriptor < 0)
        return -1;
    if (fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode)) {
        ::close(descriptor);
        errno = 0;
        return -1;
    }
    open_.append({owner, descriptor});
    return descriptor;
}

void DataFilePool::release(const void* owner)
{
    for (int i = 0; i < open_.size(); ++i) {
        if (open_[i].owner == owner) {
            ::close(open_[i].descriptor);
            open_.removeAt(i);
            return;
        }
    }
}
