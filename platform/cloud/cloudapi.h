#pragma once

#include "cloud/icloudapi.h"
#include "provider.h"
#include "transferrequest.h"

#include <optional>

namespace ZRV::Cloud::Api {

// Runs each request as a transfer on a worker thread and blocks the caller until it has ended;
// "local" lists, removes and writes in the caller's thread.
class CloudApi : public ICloudApi
{
public:
    explicit CloudApi(const Provider& provider);

    QByteArray downloadRange(const QString& container, const QString& path, unsigned long long offset,
                             unsigned long long lastByteDistance, const QMap<QString, QVariant>& options,
                             const QUuid& requestId) override;
    qint64 objectSize(const QString& container, const QString& path) override;
    std::optional<QVector<ObjectEntry>> listObjects(const QString& container, const QString& prefix) override;
    bool removeObject(const QString& container, const QString& path) override;
    std::unique_ptr<IObjectWriter> createWriter(const QString& container, const QString& path) override;
    QString errorString() const override { return error_; }

    // What the transfer produced; empty when it failed or was refused on a worker thread, with the
    // reason in `error` (logged as "<what> failed:" or "<what> refused on a worker thread:").
    static std::optional<Channel::Batch> run(TransferRequest request, const char* what, QString* error);
    // A request of `method` with `query` and `body` (Goal::Call).
    static TransferRequest call(const Provider& provider, const QString& container, const QString& path,
                                const QByteArray& method, const QList<QPair<QString, QString>>& query,
                                const QByteArray& body = QByteArray());

private:
    bool refuse(const char* what);

    const Provider provider_;
    QString error_;
};

} // namespace ZRV::Cloud::Api
