#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <optional>

// Who holds the lock object of a repository in an object store, as text (docs/formats.md):
// "zrv-lock 1", then pid, host, since, refreshed and token lines.
struct LockHolder
{
    // Far more than a lock of this format takes; anything longer is not one.
    static constexpr int Limit = 4096;

    qint64 pid = 0;
    QString host;
    QDateTime since;
    QDateTime refreshed;
    QByteArray token;

    QByteArray encode() const;
    // Empty for anything that is not a lock of this format (the lock is written in one request, so
    // such an object is damage, never a writer's half-written lock).
    static std::optional<LockHolder> decode(const QByteArray& bytes);
};
