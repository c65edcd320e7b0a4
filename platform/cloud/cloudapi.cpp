#include "cloudapi.h"

#include "core/zrvdebug.h"
#include "localstore.h"
#include "s3objectwriter.h"
#include "s3xml.h"
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
    const std::optional<Channel::Batch> batch =
        run({provider_, container, path, offset, qint64(count), std::make_shared<Channel>(0)}, "ranged read", &error_);
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
    const std::optional<Channel::Batch> batch = run(std::move(request), "size lookup", &error_);
    return batch ? batch->objectSize : -1;
}

std::optional<QVector<ObjectEntry>> CloudApi::listObjects(const QString& container, const QString& prefix)
{
    switch (provider_.kind()) {
    case Provider::Kind::Http:
        refuse("listing");
        return std::nullopt;
    case Provider::Kind::Local:
        return LocalStore(container).list(prefix, &error_);
    case Provider::Kind::S3:
        break;
    }
    QVector<ObjectEntry> entries;
    QString token;
    do {
        QList<QPair<QString, QString>> query{{"list-type", "2"}, {"prefix", prefix}};
        if (!token.isEmpty())
            query.append({"continuation-token", token});
        const std::optional<Channel::Batch> batch =
            run(call(provider_, container, QString(), "GET", query), "listing", &error_);
        if (!batch)
            return std::nullopt;
        QByteArray body;
        for (const QByteArray& chunk : batch->chunks)
            body += chunk;
        const std::optional<S3Xml::Listing> page = S3Xml::listing(body);
        if (!page) {
            error_ = QStringLiteral("unreadable listing of bucket \"%1\"").arg(container);
            ZrvDebug("CLOUD").warning() << "listing failed:" << error_;
            return std::nullopt;
        }
        entries += page->entries;
        token = page->continuationToken;
    } while (!token.isEmpty());
    return entries;
}

bool CloudApi::removeObject(const QString& container, const QString& path)
{
    switch (provider_.kind()) {
    case Provider::Kind::Http:
        return refuse("removal");
    case Provider::Kind::Local:
        return LocalStore(container).remove(path, &error_);
    case Provider::Kind::S3:
        return bool(run(call(provider_, container, path, "DELETE", {}), "removal", &error_));
    }
    return false;
}

std::unique_ptr<IObjectWriter> CloudApi::createWriter(const QString& container, const QString& path)
{
    switch (provider_.kind()) {
    case Provider::Kind::Http:
        refuse("writing");
        return nullptr;
    case Provider::Kind::Local:
        return LocalStore(container).createWriter(path, &error_);
    case Provider::Kind::S3:
        return std::make_unique<S3ObjectWriter>(provider_, container, path);
    }
    return nullptr;
}

bool CloudApi::refuse(const char* what)
{
    error_ = QStringLiteral("the http provider is read-only: no %1").arg(QLatin1String(what));
    ZrvDebug("CLOUD").warning() << error_;
    return false;
}

std::optional<Channel::Batch> CloudApi::run(TransferRequest request, const char* what, QString* error)
{
    TransferPool& pool = TransferPool::instance();
    if (pool.isWorkerThread()) {
        *error = QStringLiteral("%1 refused on a worker thread: %2").arg(QLatin1String(what), request.path);
        ZrvDebug("CLOUD").warning() << QByteArray(what).append(" refused on a worker thread:").constData()
                                    << request.path;
        return std::nullopt;
    }
    const std::shared_ptr<Channel> channel = request.channel;
    pool.runNow(std::move(request));
    Channel::Batch batch = channel->waitForEnd();
    if (!batch.error.isEmpty()) {
        *error = batch.error;
        ZrvDebug("CLOUD").warning() << QByteArray(what).append(" failed:").constData() << batch.error;
        return std::nullopt;
    }
    return batch;
}

TransferRequest CloudApi::call(const Provider& provider, const QString& container, const QString& path,
                               const QByteArray& method, const QList<QPair<QString, QString>>& query,
                               const QByteArray& body)
{
    TransferRequest request{provider, container, path, 0, -1, std::make_shared<Channel>(0)};
    request.goal = TransferRequest::Goal::Call;
    request.method = method;
    request.query = query;
    request.body = body;
    return request;
}

} // namespace ZRV::Cloud::Api
