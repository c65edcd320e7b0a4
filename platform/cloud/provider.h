#pragma once

#include "s3signer.h"

#include <QList>
#include <QMap>
#include <QPair>
#include <QString>
#include <QUrl>
#include <QVariant>
#include <optional>

namespace ZRV::Cloud {

// The transport a cloud configuration asks for, with its transfer chunk, timeout and retry policy,
// and for S3 the endpoint, addressing and credentials.
class Provider
{
public:
    enum class Kind { Local, Http, S3 };

    static constexpr qint64 DefaultChunkSize = 256 * 1024;
    static constexpr qint64 MaximumChunkSize = 16 * 1024 * 1024;
    static constexpr int DefaultTransferTimeout = 30000; // ms of network silence
    static constexpr int DefaultS3RetryLimit = 5;
    static constexpr int DefaultRetryDelay = 200; // ms before the first retry, doubled for each next one

    // Empty unless "CloudType" is "local", "http" or "s3". "ChunkSize" below 1 or missing gives
    // DefaultChunkSize; larger than MaximumChunkSize gives MaximumChunkSize. S3 settings missing
    // from the configuration come from the usual AWS_* environment variables.
    static std::optional<Provider> fromConfig(const QMap<QString, QVariant>& config);

    Kind kind() const { return kind_; }
    qint64 chunkSize() const { return chunkSize_; }
    int transferTimeout() const { return transferTimeout_; }
    // Further attempts after a failure worth retrying (none for "local"; none for "http" unless
    // configured).
    int retryLimit() const { return retryLimit_; }
    int retryDelay() const { return retryDelay_; }

    // The URL of `path` in `container`: for "http" the container is a base URL; for "s3" the
    // container is the bucket, addressed by path (endpoint/bucket/key) or virtual host
    // (bucket.endpoint/key).
    QUrl objectUrl(const QString& container, const QString& path, const QList<QPair<QString, QString>>& query) const;
    // Null without credentials: requests then go unsigned.
    const std::optional<S3Signer>& signer() const { return signer_; }

private:
    Provider(Kind kind, qint64 chunkSize);

    Kind kind_;
    qint64 chunkSize_;
    int transferTimeout_ = DefaultTransferTimeout;
    int retryLimit_ = 0;
    int retryDelay_ = DefaultRetryDelay;
    QUrl endpoint_;
    bool pathStyle_ = true;
    std::optional<S3Signer> signer_;
};

} // namespace ZRV::Cloud
