#pragma once

#include "zrvcloud_export.h"

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QUuid>
#include <QVariant>

namespace ZRV::Cloud::Api {

// Synchronous access to the objects of one kind of cloud storage, made by CloudFactory::create.
class ZRVCLOUD_EXPORT ICloudApi
{
public:
    virtual ~ICloudApi();

    // Blocks until the bytes of `path` in `container` from `offset` through `offset + lastByteDistance`
    // have arrived and returns them: never more than lastByteDistance + 1 bytes, fewer where the object
    // ends, empty when nothing could be read (the reason is logged). `options` and `requestId` (null for
    // none) are passed on to the storage; the stand-in providers ignore them. Must not be called on
    // one of the operation manager's worker threads.
    virtual QByteArray downloadRange(const QString& container, const QString& path, unsigned long long offset,
        unsigned long long lastByteDistance, const QMap<QString, QVariant>& options, const QUuid& requestId)
        = 0;

    // Blocks until the size in bytes of `path` in `container` is known and returns it; -1 when the
    // object does not exist or cannot be reached (the reason is logged). Must not be called on one of
    // the operation manager's worker threads.
    virtual qint64 objectSize(const QString& container, const QString& path) = 0;
};

} // namespace ZRV::Cloud::Api
