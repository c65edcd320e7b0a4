#include "backuprepository.h"

#include "passwordsource.h"
#include "toolerror.h"

#include "core/exception/base.h"

#include <QDataStream>
#include <QRegularExpression>
#include <algorithm>

using ZRV::Stream::BlockLevel::MapStream;
using ZRV::Stream::BlockLevel::RepositoryKeys;

BackupRepository::BackupRepository(const QString& path, PasswordSource passwords)
    : path_(path)
    , store_(RepositoryStore::open(path))
    , passwords_(std::move(passwords))
{
    store_->check();
}

QString BackupRepository::settingsPath() const
{
    return store_->locate(QStringLiteral("settings"));
}

QString BackupRepository::mapName(unsigned int revision)
{
    return QStringLiteral("%1.map").arg(revision, 8, 10, QLatin1Char('0'));
}

QString BackupRepository::dataName(unsigned int revision)
{
    return QStringLiteral("%1.data").arg(revision, 8, 10, QLatin1Char('0'));
}

QString BackupRepository::mapPath(unsigned int revision) const
{
    return store_->locate(mapName(revision));
}

QString BackupRepository::dataPath(unsigned int revision) const
{
    return store_->locate(dataName(revision));
}

bool BackupRepository::hasSettings() const
{
    if (!hasSettings_)
        hasSettings_ = store_->contains(QStringLiteral("settings"));
    return *hasSettings_;
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
    if (!settings_)
        settings_ =
            RepositorySettings::decode(store_->openFile(QStringLiteral("settings"))->read(4096), settingsPath());
    return *settings_;
}

void BackupRepository::writeSettings(const RepositorySettings& settings) const
{
    const std::unique_ptr<PendingFile> file = store_->createFile(QStringLiteral("settings"), true);
    if (!file->open(QIODevice::WriteOnly))
        throw ToolError(ToolError::Failure, file->errorString());
    const QByteArray bytes = settings.encode();
    file->write(bytes);
    file->commit();
    hasSettings_.reset();
}

QList<unsigned int> BackupRepository::revisions() const
{
    return revisionsIn(store_->entries());
}

QList<unsigned int> BackupRepository::revisionsIn(const QMap<QString, qint64>& entries)
{
    static const QRegularExpression mapName(QStringLiteral("^(\\d{8})\\.map$"));
    QList<unsigned int> numbers;
    for (const QString& name : entries.keys()) {
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
    const QSharedPointer<QIODevice> file = store_->openFile(mapName(revision));
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

void BackupRepository::forEachRecord(unsigned int revision, MapStream& map,
                                     const std::function<void(const MapStream::Data&)>& visit) const
{
    QDataStream records(&map);
    for (unsigned long long block = 0; block < map.blockCount(); ++block) {
        MapStream::Data record;
        records >> record;
        if (records.status() != QDataStream::Ok)
            throw ToolError(ToolError::Failure,
                            QStringLiteral("cannot read %1: it ends before record %2 of %3")
                                .arg(mapPath(revision))
                                .arg(block)
                                .arg(map.blockCount()));
        visit(record);
    }
}

QList<QPair<QString, QString>> BackupRepository::missingData(unsigned int revision) const
{
    const QSharedPointer<MapStream> map = openMap(revision);
    // Per referenced revision, the end of the furthest stored block.
    QMap<unsigned int, unsigned long long> ends;
    forEachRecord(revision, *map, [&ends](const MapStream::Data& record) {
        if (record.isUsed())
            ends[record.revision()] = qMax(ends.value(record.revision()), record.offset() + record.length());
    });
    QList<QPair<QString, QString>> problems;
    for (auto it = ends.begin(); it != ends.end(); ++it) {
        const unsigned long long needed = it.value();
        if (it.key() == 0 || it.key() > revision) {
            problems << qMakePair(mapPath(revision),
                                  QStringLiteral("it refers to revision %1, which cannot exist yet").arg(it.key()));
            continue;
        }
        const QString why = store_->unusable(dataName(it.key()), needed);
        if (why.startsWith(QLatin1String("it holds ")))
            problems << qMakePair(dataPath(it.key()),
                                  QStringLiteral("%1 where revision %2 needs %3").arg(why).arg(revision).arg(needed));
        else if (!why.isEmpty())
            problems << qMakePair(dataPath(it.key()), why);
    }
    return problems;
}

QMap<unsigned int, QSharedPointer<QIODevice>> BackupRepository::dataFiles(const QSharedPointer<MapStream>& map) const
{
    QMap<unsigned int, QString> names;
    const qint64 start = map->pos();
    try {
        for (unsigned int referenced : MapStream::revisionRange(map).keys())
            names.insert(referenced, dataName(referenced));
    } catch (const ZRV::Exception::Base& exception) {
        throw ToolError(ToolError::Failure,
                        QStringLiteral("cannot read %1: %2").arg(mapPath(map->revision()), exception.message()));
    }
    map->seek(start);
    return store_->openData(names);
}

std::unique_ptr<RepositoryLock> BackupRepository::lock(int waitSeconds) const
{
    return store_->lock(waitSeconds);
}

QStringList BackupRepository::removeLeftovers() const
{
    QStringList removed;
    const auto remove = [&](const QString& name) {
        if (store_->remove(name))
            removed << store_->locate(name);
    };
    for (const QString& name : store_->temporaries())
        remove(name);
    // A data file above the newest revision has no map: its run never committed.
    static const QRegularExpression dataName(QStringLiteral("^(\\d{8})\\.data$"));
    const QMap<QString, qint64> entries = store_->entries();
    const QList<unsigned int> numbers = revisionsIn(entries);
    const unsigned int newest = numbers.isEmpty() ? 0 : numbers.last();
    for (const QString& name : entries.keys()) {
        const QRegularExpressionMatch match = dataName.match(name);
        if (match.hasMatch() && match.captured(1).toUInt() > newest)
            remove(name);
    }
    return removed;
}
