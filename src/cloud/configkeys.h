#pragma once

#include "zrvcloud_export.h"

#include <QString>

// Keys of a cloud configuration (QMap<QString, QVariant>) as the cloud library reads them.
namespace ZRV::Cloud::Config {

extern ZRVCLOUD_EXPORT const QString CloudId; // carried with the configuration; not used for transfers
extern ZRVCLOUD_EXPORT const QString CloudType; // the provider: "local", "http" or "s3"
extern ZRVCLOUD_EXPORT const QString ChunkSize; // the provider's transfer chunk in bytes (optional)
extern ZRVCLOUD_EXPORT const QString ContainerName; // a local directory ("local"), a base URL ("http"), a bucket ("s3")
extern ZRVCLOUD_EXPORT const QString TransferTimeout; // ms of network silence before a transfer fails (default 30000)
extern ZRVCLOUD_EXPORT const QString RetryLimit; // retries of a failed network request (s3: 5, http: 0)
extern ZRVCLOUD_EXPORT const QString RetryDelay; // ms before the first retry (200), doubled for each further one

// "s3" only; each falls back to the environment variables named.
extern ZRVCLOUD_EXPORT const QString Endpoint; // URL; AWS_ENDPOINT_URL_S3, AWS_ENDPOINT_URL, else AWS's regional one
extern ZRVCLOUD_EXPORT const QString Region; // AWS_REGION, AWS_DEFAULT_REGION, else "us-east-1"
extern ZRVCLOUD_EXPORT const QString AccessKeyId; // AWS_ACCESS_KEY_ID; without one requests go unsigned
extern ZRVCLOUD_EXPORT const QString SecretAccessKey; // AWS_SECRET_ACCESS_KEY
extern ZRVCLOUD_EXPORT const QString SessionToken; // AWS_SESSION_TOKEN
extern ZRVCLOUD_EXPORT const QString PathStyle; // bool: bucket in the path; default true for a custom endpoint

} // namespace ZRV::Cloud::Config
