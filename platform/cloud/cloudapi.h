#pragma once

#include "cloud/icloudapi.h"
#include "provider.h"

namespace ZRV::Cloud::Api {

// Runs each ranged read as a transfer on a worker thread and blocks the caller until it has ended.
class CloudApi : public ICloudApi
{
public:
    explicit CloudApi(const Provider& provider);

    QByteArray downloadRange(const QString& container, const QString& path, unsigned long long offset,
        unsigned long long lastByteDistance, const QMap<QString, QVariant>& options,
        const QUuid& requestId) override;

private:
    const Provider provider_;
};

} // namespace ZRV::Cloud::Api
