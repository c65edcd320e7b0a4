#include "cloudapi.h"

#include "core/zrvdebug.h"
#include "transferpool.h"

#include <limits>

namespace ZRV::Cloud::Api {

CloudApi::CloudApi(const Provider& provider)
    : provider_(provider)
{
}

QByteArray CloudApi::downloadRange(const QString& container, const QString& path, unsigned long long offset,
    unsigned long long lastByteDistance, const QMap<QString, QVariant>&, const QUuid&)
{
    TransferPool& pool = TransferPool::instance();
    if (pool.isWorkerThread()) {
        ZrvDebug("CLOUD").warning() << "ranged read refused on a worker thread:" << path;
        return QByteArray();
    }
    // The reply becomes one QByteArray.
    const quint64 count = qMin<quint64>(lastByteDistance, std::numeric_limits<int>::max() - 1) + 1;
    auto channel = std::make_shared<Channel>(0);
    pool.runNow({provider_, container, path, offset, qint64(count), channel});

    const Channel::Batch batch = channel->waitForEnd();
    if (!batch.error.isEmpty()) {
        ZrvDebug("CLOUD").warning() << "ranged read failed:" << batch.error;
        return QByteArray();
    }
    QByteArray bytes;
    if (batch.chunks.size() == 1)
        return batch.chunks.front();
    for (const QByteArray& chunk : batch.chunks)
        bytes += chunk;
    return bytes;
}

} // namespace ZRV::Cloud::Api
