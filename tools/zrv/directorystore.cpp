#include "directorystore.h"

#include "datafilepool.h"
#include "privatefile.h"
#include "systemerror.h"
#include "toolerror.h"

#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

class DirectoryLock : public RepositoryLock
{
public:
    explicit DirectoryLock(std::unique_ptr<QLockFile> file)
        : file_(std::move(file))
    {
    }

private:
    std::unique_ptr<QLockFile> file_;
};

} // namespace

DirectoryStore::DirectoryStore(const QString& path)
    : path_(path)
    , directory_(path)
{
}

void DirectoryStore::check() const
{
    if (!QFileInfo(path_).isDir())
        throw ToolError(ToolError::Failure,
                        QStringLiteral("there is no repository at %1 (create one with zrv init %1)").arg(path_));
}

void DirectoryStore::create() const
{
    if (mkdir(QFile::encodeName(path_).constData(), 0700) != 0 && errno != EEXIST)
        throw ToolError(ToolError::Failure, QStringLiteral("cannot create %1: %2").arg(path_, systemError()));
    check();
    chmod(QFile::encodeName(path_).constData(), 0700);
}

QMap<QString, qint64> DirectoryStore::entries() const
{
    QMap<QString, qint64> entries;
    for (const QFileInfo& file : directory_.entryInfoList(QDir::Files | QDir::Hidden | QDir::System))
        entries.insert(file.fileName(), file.size());
    return entries;
}

bool DirectoryStore::isEmpty() const
{
    return directory_.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot).isEmpty();
}

bool DirectoryStore::contains(const QString& name) const
{
    return QFileInfo(locate(name)).exists() || QFileInfo(locate(name)).isSymLink();
}

QDateTime DirectoryStore::modified(const QString& name) const
{
    return QFileInfo(locate(name)).lastModified();
}

QSharedPointer<QIODevice> DirectoryStore::openFile(const QString& name) const
{
    const QString path = locate(name);
    const int descriptor = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    struct stat status
    {
    };
    if (descriptor < 0 || fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode)) {
        const QString error =
            descriptor < 0 || !status.st_mode ? systemError() : QStringLiteral("it is not a regular file");
        if (descriptor >= 0)
            ::close(descriptor);
        throw ToolError(ToolError::Failure, QStringLiteral("cannot read %1: %2").arg(path, error));
    }
    auto file = QSharedPointer<QFile>::create();
    file->open(descriptor, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle);
    return file;
}

QString DirectoryStore::unusable(const QString& name, quint64 needed) const
{
    struct stat status
    {
    };
    if (lstat(QFile::encodeName(locate(name)).constData(), &status) != 0)
        return systemError();
    if (!S_ISREG(status.st_mode))
        return QStringLiteral("it is not a regular file");
    if (quint64(status.st_size) < needed)
        return QStringLiteral("it holds %1 bytes").arg(status.st_size);
    return {};
}

QMap<unsigned int, QSharedPointer<QIODevice>> DirectoryStore::openData(const QMap<unsigned int, QString>& names) const
{
    QMap<unsigned int, QString> paths;
    for (auto it = names.begin(); it != names.end(); ++it)
        paths.insert(it.key(), locate(it.value()));
    return DataFilePool::devices(paths);
}

std::unique_ptr<PendingFile> DirectoryStore::createFile(const QString& name, bool) const
{
    return std::make_unique<PrivateFile>(locate(name), PrivateFile::NoReplace);
}

bool DirectoryStore::remove(const QString& name) const
{
    // unlink removes a planted symbolic link itself, never what it points at.
    return unlink(QFile::encodeName(locate(name)).constData()) == 0;
}

std::unique_ptr<RepositoryLock> DirectoryStore::lock(int waitSeconds) const
{
    const QString path = locate(QStringLiteral("lock"));
    auto lock = std::make_unique<QLockFile>(path);
    lock->setStaleLockTime(0); // only a lock whose process is gone is stale, however old
    if (lock->tryLock(waitSeconds * 1000))
        return std::make_unique<DirectoryLock>(std::move(lock));
    // A writer fills its lock file right after creating it; one still unreadable seconds later
    // belongs to a run killed in between, and would otherwise block the repository for good.
    qint64 holder = 0;
    QString holderHost;
    QString holderApplication;
    if (lock->error() == QLockFile::LockFailedError && !lock->getLockInfo(&holder, &holderHost, &holderApplication)
        && QFileInfo(path).lastModified().secsTo(QDateTime::currentDateTime()) >= 2 && lock->removeStaleLockFile()
        && lock->tryLock(0))
        return std::make_unique<DirectoryLock>(std::move(lock));
    if (lock->error() == QLockFile::LockFailedError) {
        qint64 pid = 0;
        QString host;
        QString application;
        lock->getLockInfo(&pid, &host, &application);
        throw ToolError(ToolError::Failure,
                        QStringLiteral("%1 is in use by another backup: process %2 on %3 since %4 "
                                       "(--lock-wait SECONDS waits for it)")
                            .arg(path_)
                            .arg(pid)
                            .arg(host, QFileInfo(path).lastModified().toString(Qt::ISODate)));
    }
    throw ToolError(ToolError::Failure,
                    QStringLiteral("cannot lock %1: %2")
                        .arg(path,
                             lock->error() == QLockFile::PermissionError
                                 ? systemError(EACCES)
                                 : QStringLiteral("the lock file is unreadable")));
}

QStringList DirectoryStore::temporaries() const
{
    return directory_.entryList({QStringLiteral(".incoming-*")}, QDir::Files | QDir::Hidden | QDir::System);
}
