#pragma once

#include <QIODevice>
#include <QList>
#include <QMap>
#include <QSharedPointer>

// The data files of a restore, opened only while they are read: each device keeps its path and
// position, and takes a descriptor from the pool on a read; the pool closes the least recently
// used one beyond its limit, so a chain of any length restores within the process's file limit.
// A data file must be a regular file (a FIFO planted in the repository would hang the reader).
class DataFilePool
{
public:
    // The limit follows the process's soft RLIMIT_NOFILE.
    DataFilePool();
    ~DataFilePool();

    // One device per revision, for RevisionStream; `paths` maps revision to file.
    static QMap<unsigned int, QSharedPointer<QIODevice>> devices(const QMap<unsigned int, QString>& paths);

    // A descriptor of `path` for `owner`, opened when it has none; -1 with errno set on failure
    // (0 when the path is no regular file).
    int descriptor(const void* owner, const QString& path);
    void release(const void* owner);

private:
    struct Open
    {
        const void* owner;
        int descriptor;
    };
    QList<Open> open_; // most recently used last
    int limit_;
};
