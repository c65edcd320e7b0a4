#pragma once

#include "cloud/icloudapi.h"
#include "provider.h"
#include "transferrequest.h"

#include <optional>

namespace ZRV::Cloud::Api {

// Runs each ranged read and size lookup as a transfer on a worker thread and blocks the caller
// until it has ended.
class CloudApi : public ICloudApi
{
public:
    explicit CloudApi(const Provider& provider);

    QByteArray downloadRange(const QString& container, const QString& path, unsigned long long offset,
        unsigned long long lastByteDistance, const QMap<QString, QVariant>& options,
        const QUuid& requestId) override;
    qint64 objectSize(const QString& container, const QString& path) override;

private:
    // What the transfer produced; empty when it failed or was refused on a worker thread (logged
    // as "<what> failed:" or "<what> refused on a worker thread:").
    static std::optional<Channel::Batch> run(TransferRequest request, const char* what);

    const Provider provider_;
};

} // namespace ZRV::Cloud::Api
