#pragma once

#include "pendingfile.h"
#include "repositorylock.h"

#include <QDateTime>
#include <QMap>
#include <QSharedPointer>
#include <QString>
#include <memory>

// Where the files of a repository live, by name ("settings", "00000001.map", ...): a directory
// (DirectoryStore) or the objects below a prefix of an S3 bucket (ObjectStore), with the same
// names, so a copy of one into the other is the same repository.
class RepositoryStore
{
public:
    // An ObjectStore for s3://BUCKET/PREFIX, else a DirectoryStore.
    static std::unique_ptr<RepositoryStore> open(const QString& location);
    virtual ~RepositoryStore() = default;

    // The repository as the user named it.
    virtual QString location() const = 0;
    // A file of the repository as messages name it.
    virtual QString locate(const QString& name) const = 0;
    // Throws ToolError when there is no repository to read or write there (no directory; an
    // unreachable bucket, naming the store's reason).
    virtual void check() const = 0;
    // Prepares an empty place for `zrv init`; throws ToolError when that fails.
    virtual void create() const = 0;

    // Name and size of each file directly in the repository; throws ToolError when they cannot be listed.
    virtual QMap<QString, qint64> entries() const = 0;
    // Whether there is nothing at all in the repository's place.
    virtual bool isEmpty() const = 0;
    virtual bool contains(const QString& name) const = 0;
    virtual QDateTime modified(const QString& name) const = 0;
    // The file, open for reading and random access; throws ToolError naming it and the cause.
    virtual QSharedPointer<QIODevice> openFile(const QString& name) const = 0;
    // Why the file cannot serve `needed` bytes (missing, not a regular file, shorter); empty when it can.
    virtual QString unusable(const QString& name, quint64 needed) const = 0;
    // One reader per revision for a restore (revision to file name), opened on first use, with
    // bounded resources however many there are.
    virtual QMap<unsigned int, QSharedPointer<QIODevice>> openData(const QMap<unsigned int, QString>& names) const = 0;
    // A new file, never over an existing one; `sequential` when it is written once from start to
    // end (it may then go straight to its target). Open it before use.
    virtual std::unique_ptr<PendingFile> createFile(const QString& name, bool sequential) const = 0;
    // True once the file is gone.
    virtual bool remove(const QString& name) const = 0;

    // The writer's lock, waiting up to `waitSeconds`; a lock of a writer that is gone is taken
    // over. Throws ToolError naming the holder (pid, host, since when) when it stays taken.
    virtual std::unique_ptr<RepositoryLock> lock(int waitSeconds) const = 0;
    // Names of temporary files that only an interrupted run leaves behind.
    virtual QStringList temporaries() const = 0;
};
