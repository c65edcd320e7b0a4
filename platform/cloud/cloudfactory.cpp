#include "cloud/cloudfactory.h"

#include "cloudapi.h"

namespace ZRV::Cloud::Api {

ICloudApi::~ICloudApi() = default;

ICloudApi* CloudFactory::create(const QMap<QString, QVariant>& config)
{
    const std::optional<Provider> provider = Provider::fromConfig(config);
    return provider ? new CloudApi(*provider) : nullptr;
}

} // namespace ZRV::Cloud::Api
