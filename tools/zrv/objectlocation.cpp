#include "objectlocation.h"

#include "toolerror.h"

#include "cloud/configkeys.h"

std::optional<ObjectLocation> ObjectLocation::parse(const QString& name)
{
    static const QString scheme = QStringLiteral("s3://");
    if (!name.startsWith(scheme))
        return std::nullopt;
    ObjectLocation location;
    const QString rest = name.mid(scheme.size());
    const int slash = rest.indexOf(QLatin1Char('/'));
    location.bucket_ = rest.left(slash);
    location.key_ = slash < 0 ? QString() : rest.mid(slash + 1);
    while (location.key_.endsWith(QLatin1Char('/')))
        location.key_.chop(1);
    // Empty segments would make keys that a directory copy of the store (s3cmd sync) cannot hold.
    if (location.bucket_.isEmpty() || location.key_.startsWith(QLatin1Char('/'))
        || location.key_.contains(QLatin1String("//")))
        throw ToolError(ToolError::Usage, QStringLiteral("%1 names no object: use s3://BUCKET/KEY").arg(name));
    return location;
}

QString ObjectLocation::keyOf(const QString& name) const
{
    return key_.isEmpty() ? name : key_ + QLatin1Char('/') + name;
}

QString ObjectLocation::toString() const
{
    return QStringLiteral("s3://%1/%2").arg(bucket_, key_);
}

ObjectLocation ObjectLocation::child(const QString& name) const
{
    ObjectLocation location = *this;
    location.key_ = keyOf(name);
    return location;
}

QMap<QString, QVariant> ObjectLocation::config() const
{
    namespace Config = ZRV::Cloud::Config;
    return {{Config::CloudType, QStringLiteral("s3")}, {Config::ContainerName, bucket_}};
}

bool ObjectLocation::isMissing(const QString& storeError)
{
    return storeError.contains(QLatin1String("NoSuchKey")) || storeError.contains(QLatin1String("HTTP status 404"));
}
