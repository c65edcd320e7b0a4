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
    // The reply becomes one QByteArray.
    const quint64 count = qMin<quint64>(lastByteDistance, std::numeric_limits<int>::max() - 1) + 1;
    const std::optional<Channel::Batch> batch
        = run({provider_, container, path, offset, qint64(count), std::make_shared<Channel>(0)}, "ranged read");
    if (!batch)
        return QByteArray();
    if (batch->chunks.size() == 1)
        return batch->chunks.front();
    QByteArray bytes;
    for (const QByteArray& chunk : batch->chunks)
        bytes += chunk;
    return bytes;
}

qint64 CloudApi::objectSize(const QString& container, const QString& path)
{
    TransferRequest request{provider_, container, path, 0, -1, std::make_shared<Channel>(0)};
    request.goal = TransferRequest::Goal::Size;
    const std::optional<Channel::Batch> batch = run(std::move(request), "size lookup");
    return batch ? batch->objectSize : -1;
}

std::optional<Channel::Batch> CloudApi::run(TransferRequest request, const char* what)
{
    TransferPool& pool = TransferPool::instance();
    if (pool.isWorkerThread()) {
        ZrvDebug("CLOUD").warning() << QByteArray(what).append(" refused on a worker thread:").constData()
                                    << request.path;
        return std::nullopt;
    }
    const std::shared_ptr<Channel> channel = request.channel;
    pool.runNow(std::move(request));
    Channel::Batch batch = channel->waitForEnd();
    if (!batch.error.isEmpty()) {
        ZrvDebug("CLOUD").warning() << QByteArray(what).append(" failed:").constData() << batch.error;
        return std::nullopt;
    }
    return batch;
}

} // namespace ZRV::Cloud::Api
