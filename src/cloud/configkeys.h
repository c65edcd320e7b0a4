#pragma once

#include "zrvcloud_export.h"

#include <QString>

// Keys of a cloud configuration (QMap<QString, QVariant>) as the cloud library reads them.
namespace ZRV::Cloud::Config {

extern ZRVCLOUD_EXPORT const QString CloudId;       // carried with the configuration; not used for transfers
extern ZRVCLOUD_EXPORT const QString CloudType;     // the provider: "local" or "http"
extern ZRVCLOUD_EXPORT const QString ChunkSize;     // the provider's transfer chunk in bytes (optional)
extern ZRVCLOUD_EXPORT const QString ContainerName; // a local directory ("local") or a base URL ("http")

} // namespace ZRV::Cloud::Config
