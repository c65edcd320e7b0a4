#pragma once

#include "passwordsource.h"
#include "repositorysettings.h"
#include "repositorystore.h"

#include "blocklevel/mapstream.h"

#include <QList>
#include <QMap>
#include <QString>
#include <functional>
#include <memory>
#include <optional>

// A repository of block-level revisions, in a directory or an object store (RepositoryStore): the
// settings file written by `zrv init`, the lock of the one writer, and revision N as the pair N.map
// and N.data (N in decimal, zero-padded to eight digits). A revision exists once its map is in place; a run puts its
// data in place first and its map last, neither ever over an existing file, so readers need no lock and never see half
// a revision. In an authenticated repository every map is opened with the repository's keys, so a map that was altered,
// swapped, copied under another name or taken from elsewhere is refused before use.
class BackupRepository
{
public:
    // `path` is a directory or s3://BUCKET/PREFIX. Throws ToolError when there is no directory
    // there or the store cannot be reached. `passwords` is asked, once, when a reader first needs
    // the password.
    BackupRepository(const QString& path, PasswordSource passwords);

    QString path() const { return path_; }
    const RepositoryStore& store() const { return *store_; }
    QString settingsPath() const;
    QString mapPath(unsigned int revision) const;
    QString dataPath(unsigned int revision) const;
    static QString mapName(unsigned int revision);
    static QString dataName(unsigned int revision);

    bool hasSettings() const;
    // Throws ToolError when the directory is no repository (pointing at `zrv init`) or the file is damaged.
    RepositorySettings settings() const;
    // Writes the settings of a new repository; never replaces existing ones.
    void writeSettings(const RepositorySettings& settings) const;

    // The password of an encrypted repository, checked against its settings (the password key is
    // derived here, once per run); empty without encryption. Throws ToolError for a wrong password.
    QByteArray password() const;
    // What the maps and streams of an authenticated repository need; invalid for any other.
    // Asks for the password when it was not yet given.
    ZRV::Stream::BlockLevel::RepositoryKeys keys() const;
    // Why the repository's maps are not authenticated; empty when they are.
    QString notAuthenticated() const;

    // The password a reader of `map` needs: checked against the settings, or for a directory of
    // zrv 0.1.0 without them, asked for when the map is encrypted.
    QByteArray readPassword(const ZRV::Stream::BlockLevel::MapStream& map) const;

    // Throws ToolError when the repository is encrypted and `map` is not.
    void checkEncryption(const ZRV::Stream::BlockLevel::MapStream& map) const;

    // Revision numbers in rising order, by the names of the maps.
    QList<unsigned int> revisions() const;
    // 0 when there is none.
    unsigned int newestRevision() const;

    // The map of a revision, open for reading, its header checked against the file name, and in
    // an authenticated repository the whole map checked against its MAC (which covers the
    // revision of the file name and the repository id). Throws ToolError naming the file.
    QSharedPointer<ZRV::Stream::BlockLevel::MapStream> openMap(unsigned int revision) const;
    // Why the data a revision refers to cannot be read, one (file, cause) per data file that is missing,
    // no regular file, or shorter than the map needs; empty when all is there. Cheap: it reads the
    // map, not the data. Throws ToolError when the map cannot be read.
    QList<QPair<QString, QString>> missingData(unsigned int revision) const;
    // Hands every record of an open map to `visit`, in order; throws ToolError naming the map
    // when it ends early.
    void forEachRecord(unsigned int revision, ZRV::Stream::BlockLevel::MapStream& map,
                       const std::function<void(const ZRV::Stream::BlockLevel::MapStream::Data&)>& visit) const;
    // Lazily opened data files (or objects) for every revision the map refers to (from its current record on).
    QMap<unsigned int, QSharedPointer<QIODevice>> dataFiles(
        const QSharedPointer<ZRV::Stream::BlockLevel::MapStream>& map) const;

    // The writer's lock, waiting up to `waitSeconds`. A lock of a dead process is taken over.
    // Throws ToolError naming the holder (pid, host, since when) when it stays taken.
    std::unique_ptr<RepositoryLock> lock(int waitSeconds) const;
    // With the lock held: removes what killed runs left (temporary files, a data file without its
    // map above the newest revision). Returns the removed paths.
    QStringList removeLeftovers() const;

private:
    static QList<unsigned int> revisionsIn(const QMap<QString, qint64>& entries);
    void unlock() const;

    QString path_;
    std::unique_ptr<RepositoryStore> store_;
    PasswordSource passwords_;
    mutable std::optional<bool> hasSettings_;
    mutable std::optional<RepositorySettings> settings_;
    // Known once unlock() ran: deriving the password key is slow by design.
    mutable bool unlocked_ = false;
    mutable QByteArray password_;
    mutable ZRV::Stream::BlockLevel::RepositoryKeys keys_;
};
