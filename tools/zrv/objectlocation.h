#pragma once

#include <QMap>
#include <QString>
#include <QVariant>
#include <optional>

// An object, or a prefix of objects, in an S3 bucket, named s3://BUCKET/KEY on the command line.
// The store's endpoint, region and credentials come from the environment (AWS_ENDPOINT_URL_S3 or
// AWS_ENDPOINT_URL, AWS_REGION, AWS_ACCESS_KEY_ID, AWS_SECRET_ACCESS_KEY, AWS_SESSION_TOKEN), which
// the cloud library reads itself: they never pass through arguments, messages or logs of the tool.
class ObjectLocation
{
public:
    // Empty for anything that does not start with "s3://"; throws a usage error for an
    // s3:// name without a bucket or with an empty path segment.
    static std::optional<ObjectLocation> parse(const QString& name);

    const QString& bucket() const { return bucket_; }
    // The object's key, or the prefix without its trailing slash; empty for the whole bucket.
    const QString& key() const { return key_; }
    // The key of `name` below this prefix.
    QString keyOf(const QString& name) const;
    // s3://BUCKET/KEY, as messages name the object.
    QString toString() const;
    QString toString(const QString& name) const { return child(name).toString(); }
    ObjectLocation child(const QString& name) const;
    // The cloud library's configuration of the bucket.
    QMap<QString, QVariant> config() const;

    // Whether an error of the store says the object does not exist.
    static bool isMissing(const QString& storeError);

private:
    QString bucket_;
    QString key_;
};
