#include "backuprepository.h"

#include "datafilepool.h"
#include "passwordsource.h"
#include "privatefile.h"
#include "systemerror.h"
#include "toolerror.h"

#include "core/exception/base.h"

#include <QDataStream>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <algorithm>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using ZRV::Stream::BlockLevel::MapStream;
using ZRV::Stream::BlockLevel::RepositoryKeys;

namespace {

// Opens a repository file for reading; it must be a regular file, since a FIFO or device
// planted under its name would hang or feed the reader. Null with `error` set otherwise.
QSharedPointer<QFile> openRegular(const QString& path, QString& error)
{
    const int descriptor = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    struct stat status
    {
    };
    if (descriptor < 0 || fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode)) {
        error = descriptor < 0 || !status.st_mode ? systemError() : QStringLiteral("it is not a regular file");
        if (descriptor >= 0)
            ::close(descriptor);
        return {};
    }
    auto file = QSharedPointer<QFile>::create();
    file->open(descriptor, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle);
    return file;
}

} // namespace

BackupRepository::BackupRepository(const QString& path, PasswordSource passwords)
    : path_(path)
    , directory_(path)
    , passwords_(std::move(passwords))
{
    if (!QFileInfo(path).isDir())
        throw ToolError(ToolError::Failure,
                        QStringLiteral("there is no repository at %1 (create one with zrv init %1)").arg(path));
}

QString BackupRepository::settingsPath() const
{
    return directory_.filePath(QStringLiteral("settings"));
}

QString BackupRepository::mapPath(unsigned int revision) const
{
    return directory_.filePath(QStringLiteral("%1.map").arg(revision, 8, 10, QLatin1Char('0')));
}

QString BackupRepository::dataPath(unsigned int revision) const
{
    return directory_.filePath(QStringLiteral("%1.data").arg(revision, 8, 10, QLatin1Char('0')));
}

bool BackupRepository::hasSettings() const
{
    return QFileInfo(settingsPath()).exists() || QFileInfo(settingsPath()).isSymLink();
}

RepositorySettings BackupRepository::settings() const
{
    if (!hasSettings()) {
        if (!revisions().isEmpty())
            throw ToolError(ToolError::Failure,
                            QStringLiteral("%1 holds revisions but no settings (written by zrv 0.1.0): run zrv init "
                                           "%1 to adopt it")
                                .arg(path_));
        throw ToolError(ToolError::Failure,
                        QStringLiteral("%1 is not a repository (create one with zrv init %1)").arg(path_));
    }
    QString error;
    const QSharedPointer<QFile> file = openRegular(settingsPath(), error);
    if (!file)
        throw ToolError(ToolError::Failure, QStringLiteral("cannot read %1: %2").arg(settingsPath(), error));
    return RepositorySettings::decode(file->read(4096), settingsPath());
}

void BackupRepository::writeSettings(const RepositorySettings& settings) const
{
    PrivateFile file(settingsPath(), PrivateFile::NoReplace);
    if (!file.open(QIODevice::WriteOnly))
        throw ToolError(ToolError::Failure, file.errorString());
    const QByteArray bytes = settings.encode();
    file.write(bytes);
    file.commit();
}

QList<unsigned int> BackupRepository::revisions() const
{
    static const QRegularExpression mapName(QStringLiteral("^(\\d{8})\\.map$"));
    QList<unsigned int> numbers;
    for (const QString& name : directory_.entryList({QStringLiteral("*.map")}, QDir::Files | QDir::System)) {
        const QRegularExpressionMatch match = mapName.match(name);
        if (match.hasMatch() && match.captured(1).toUInt() > 0)
            numbers << match.captured(1).toUInt();
    }
    std::sort(numbers.begin(), numbers.end());
    return numbers;
}

unsigned int BackupRepository::newestRevision() const
{
    const QList<unsigned int> numbers = revisions();
    return numbers.isEmpty() ? 0 : numbers.last();
}

QSharedPointer<MapStream> BackupRepository::openMap(unsigned int revision) const
{
    const QString path = mapPath(revision);
    const auto fail = [&](const QString& why) {
        return ToolError(ToolError::Failure, QStringLiteral("cannot read %1: %2").arg(path, why));
    };
    QString error;
    const QSharedPointer<QFile> file = openRegular(path, error);
    if (!file)
        throw fail(error);
    auto map = QSharedPointer<MapStream>::create(file, revision, nullptr);
    const RepositoryKeys repositoryKeys = keys();
    if (repositoryKeys.isValid())
        map->setRepositoryKeys(repositoryKeys);
    try {
        if (!map->open(QIODevice::ReadOnly))
            throw fail(QStringLiteral("its header is cut short"));
    } catch (const ZRV::Exception::Base& exception) {
        throw fail(exception.message());
    }
    if (map->revision() != revision)
        throw fail(QStringLiteral("it records revision %1; it was altered or put under another name (zrv check %2)")
                       .arg(map->revision())
                       .arg(path_));
    return map;
}

void BackupRepository::unlock() const
{
    if (unlocked_)
        return;
    const RepositorySettings settings = this->settings();
    if (settings.encrypted()) {
        QByteArray password = passwords_.password(PasswordSource::Existing);
        QByteArray passwordKey = settings.passwordKey(password);
        if (!settings.opens(passwordKey))
            throw ToolError(ToolError::Failure,
                            QStringLiteral("the password does not open %1 (or its settings were altered)").arg(path_));
        password_ = password;
        if (settings.authenticated())
            keys_ = RepositoryKeys{settings.id(), passwordKey};
        password.fill('\0');
        passwordKey.fill('\0');
    }
    unlocked_ = true;
}

QByteArray BackupRepository::password() const
{
    unlock();
    return password_;
}

RepositoryKeys BackupRepository::keys() const
{
    // A directory of zrv 0.1.0 (no settings) is never authenticated.
    if (!hasSettings() || !settings().authenticated())
        return {};
    unlock();
    return keys_;
}

QString BackupRepository::notAuthenticated() const
{
    QString why;
    if (!hasSettings())
        why = QStringLiteral("it has no settings; zrv init adopts it");
    else if (!settings().encrypted())
        why = QStringLiteral("it is not encrypted");
    else if (!settings().authenticated())
        why = QStringLiteral("it keeps the version 4 maps of zrv 0.1.0");
    else
        return {};
    return QStringLiteral("%1 is not authenticated (%2): a change to its maps goes unnoticed").arg(path_, why);
}

void BackupRepository::checkEncryption(const MapStream& map) const
{
    // A plain map in an encrypted repository was not written by its backups.
    if (hasSettings() && settings().encrypted() && !map.useEncryption())
        throw ToolError(ToolError::Failure,
                        QStringLiteral("%1 is not encrypted although the repository is").arg(mapPath(map.revision())));
}

QByteArray BackupRepository::readPassword(const MapStream& map) const
{
    checkEncryption(map);
    if (hasSettings())
        return password();
    return map.useEncryption() ? passwords_.password(PasswordSource::Existing) : QByteArray();
}

QList<QPair<QString, QString>> BackupRepository::missingData(unsigned int revision) const
{
    const QSharedPointer<MapStream> map = openMap(revision);
    // Per referenced revision, the end of the furthest stored block.
    QMap<unsigned int, unsigned long long> ends;
    QDataStream records(map.data());
    for (unsigned long long block = 0; block < map->blockCount(); ++block) {
        MapStream::Data record;
        records >> record;
        if (records.status() != QDataStream::Ok)
            throw ToolError(ToolError::Failure,
                            QStringLiteral("cannot read %1: it ends before record %2 of %3")
                                .arg(mapPath(revision))
                                .arg(block)
                                .arg(map->blockCount()));
        if (record.isUsed())
            ends[record.revision()] = qMax(ends.value(record.revision()), record.offset() + record.length());
    }
    QList<QPair<QString, QString>> problems;
    for (auto it = ends.begin(); it != ends.end(); ++it) {
        const unsigned long long needed = it.value();
        const QString data = dataPath(it.key());
        struct stat status
        {
        };
        if (it.key() == 0 || it.key() > revision)
            problems << qMakePair(mapPath(revision),
                                  QStringLiteral("it refers to revision %1, which cannot exist yet").arg(it.key()));
        else if (lstat(QFile::encodeName(data).constData(), &status) != 0)
            problems << qMakePair(data, systemError());
        else if (!S_ISREG(status.st_mode))
            problems << qMakePair(data, QStringLiteral("it is not a regular file"));
        else if (quint64(status.st_size) < needed)
            problems << qMakePair(data,
                                  QStringLiteral("it holds %1 bytes where revision %2 needs %3")
                                      .arg(status.st_size)
                                      .arg(revision)
                                      .arg(needed));
    }
    return problems;
}

QMap<unsigned int, QSharedPointer<QIODevice>> BackupRepository::dataFiles(const QSharedPointer<MapStream>& map) const
{
    QMap<unsigned int, QString> paths;
    const qint64 start = map->pos();
    try {
        for (unsigned int referenced : MapStream::revisionRange(map).keys())
            paths.insert(referenced, dataPath(referenced));
    } catch (const ZRV::Exception::Base& exception) {
        throw ToolError(ToolError::Failure,
                        QStringLiteral("cannot read %1: %2").arg(mapPath(map->revision()), exception.message()));
    }
    map->seek(start);
    return DataFilePool::devices(paths);
}

std::unique_ptr<QLockFile> BackupRepository::lock(int waitSeconds) const
{
    const QString path = directory_.filePath(QStringLiteral("lock"));
    auto lock = std::make_unique<QLockFile>(path);
    lock->setStaleLockTime(0); // only a lock whose process is gone is stale, however old
    if (lock->tryLock(waitSeconds * 1000))
        return lock;
    // A writer fills its lock file right after creating it; one still unreadable seconds later
    // belongs to a run killed in between, and would otherwise block the repository for good.
    qint64 holder = 0;
    QString holderHost;
    QString holderApplication;
    if (lock->error() == QLockFile::LockFailedError && !lock->getLockInfo(&holder, &holderHost, &holderApplication)
        && QFileInfo(path).lastModified().secsTo(QDateTime::currentDateTime()) >= 2 && lock->removeStaleLockFile()
        && lock->tryLock(0))
        return lock;
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

QStringList BackupRepository::removeLeftovers() const
{
    QStringList removed;
    const auto remove = [&](const QString& name) {
        // unlink removes a planted symbolic link itself, never what it points at.
        if (unlink(QFile::encodeName(directory_.filePath(name)).constData()) == 0)
            removed << directory_.filePath(name);
    };
    const QDir::Filters all = QDir::Files | QDir::Hidden | QDir::System;
    for (const QString& name : directory_.entryList({QStringLiteral(".incoming-*")}, all))
        remove(name);
    static const QRegularExpression dataName(QStringLiteral("^(\\d{8})\\.data$"));
    const unsigned int newest = newestRevision();
    for (const QString& name : directory_.entryList({QStringLiteral("*.data")}, all)) {
        const QRegularExpressionMatch match = dataName.match(name);
        if (match.hasMatch() && match.captured(1).toUInt() > newest)
            remove(name);
    }
    return removed;
}
