#pragma once

#include "cloud/icloudapi.h"
#include "zrvcloud_export.h"

namespace ZRV::Cloud::Api {

class ZRVCLOUD_EXPORT CloudFactory
{
public:
    // A new API object for the provider named by the configuration's "CloudType" ("local",
    // "http" or "s3"), owned by the caller; null for any other or a missing type.
    static ICloudApi* create(const QMap<QString, QVariant>& config);
};

} // namespace ZRV::Cloud::Api
