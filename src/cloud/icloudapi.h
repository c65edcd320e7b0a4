#pragma once

#include "cloud/iobjectwriter.h"
#include "zrvcloud_export.h"

#include <QByteArray>
#include <QDateTime>
#include <QMap>
#include <QString>
#include <QUuid>
#include <QVariant>
#include <QVector>
#include <memory>
#include <optional>

namespace ZRV::Cloud::Api {

// One object of a listing: its full path in the container, its size and when it was last written
// (invalid where the store does not say).
struct ObjectEntry
{
    QString path;
    qint64 size = 0;
    QDateTime modified;
};

// Synchronous access to the objects of one kind of cloud storage, made by CloudFactory::create.
// None of the calls may be made on one of the operation manager's worker threads. A failed call
// logs why and leaves the reason in errorString().
class ZRVCLOUD_EXPORT ICloudApi
{
public:
    virtual ~ICloudApi();

    // Blocks until the bytes of `path` in `container` from `offset` through `offset + lastByteDistance`
    // have arrived and returns them: never more than lastByteDistance + 1 bytes, fewer where the object
    // ends, empty when nothing could be read (the reason is logged). `options` and `requestId` (null for
    // none) are passed on to the storage; the stand-in providers ignore them.
    virtual QByteArray downloadRange(const QString& container, const QString& path, unsigned long long offset,
                                     unsigned long long lastByteDistance, const QMap<QString, QVariant>& options,
                                     const QUuid& requestId) = 0;

    // Blocks until the size in bytes of `path` in `container` is known and returns it; -1 when the
    // object does not exist or cannot be reached (the reason is logged).
    virtual qint64 objectSize(const QString& container, const QString& path) = 0;

    // Every object of `container` whose path begins with `prefix`, in ascending order of path;
    // empty when the listing failed. Not offered by "http".
    virtual std::optional<QVector<ObjectEntry>> listObjects(const QString& container, const QString& prefix) = 0;

    // Removes the object; true once it is gone, also when there was none. Not offered by "http".
    virtual bool removeObject(const QString& container, const QString& path) = 0;

    // A writer of the object `path` (see IObjectWriter); null where the provider cannot write
    // ("http").
    virtual std::unique_ptr<IObjectWriter> createWriter(const QString& container, const QString& path) = 0;

    // Why the last call failed.
    virtual QString errorString() const = 0;
};

} // namespace ZRV::Cloud::Api
