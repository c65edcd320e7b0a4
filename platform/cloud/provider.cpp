#include "provider.h"

#include "cloud/configkeys.h"

#include <QtGlobal>

namespace ZRV::Cloud {

namespace {

// The configuration's value, else the first environment variable that is set.
QString setting(const QMap<QString, QVariant>& config, const QString& key, std::initializer_list<const char*> names)
{
    if (config.contains(key))
        return config.value(key).toString();
    for (const char* name : names)
        if (qEnvironmentVariableIsSet(name))
            return qEnvironmentVariable(name);
    return QString();
}

int nonNegative(const QMap<QString, QVariant>& config, const QString& key, int fallback)
{
    bool ok = false;
    const int value = config.value(key).toInt(&ok);
    return ok && value >= 0 ? value : fallback;
}

} // namespace

Provider::Provider(Kind kind, qint64 chunkSize)
    : kind_(kind)
    , chunkSize_(chunkSize)
{
}

std::optional<Provider> Provider::fromConfig(const QMap<QString, QVariant>& config)
{
    const QString type = config.value(Config::CloudType).toString();
    Kind kind;
    if (type == QLatin1String("local"))
        kind = Kind::Local;
    else if (type == QLatin1String("http"))
        kind = Kind::Http;
    else if (type == QLatin1String("s3"))
        kind = Kind::S3;
    else
        return std::nullopt;

    qint64 chunkSize = config.value(Config::ChunkSize).toLongLong();
    if (chunkSize < 1)
        chunkSize = DefaultChunkSize;
    Provider provider(kind, qMin(chunkSize, MaximumChunkSize));
    provider.transferTimeout_ = qMax(1, nonNegative(config, Config::TransferTimeout, DefaultTransferTimeout));
    provider.retryLimit_ =
        kind == Kind::Local ? 0 : nonNegative(config, Config::RetryLimit, kind == Kind::S3 ? DefaultS3RetryLimit : 0);
    provider.retryDelay_ = nonNegative(config, Config::RetryDelay, DefaultRetryDelay);
    if (kind != Kind::S3)
        return provider;

    QString region = setting(config, Config::Region, {"AWS_REGION", "AWS_DEFAULT_REGION"});
    if (region.isEmpty())
        region = QStringLiteral("us-east-1");
    const QString endpoint = setting(config, Config::Endpoint, {"AWS_ENDPOINT_URL_S3", "AWS_ENDPOINT_URL"});
    provider.endpoint_ =
        QUrl(endpoint.isEmpty() ? QStringLiteral("https://s3.%1.amazonaws.com").arg(region) : endpoint);
    // A custom endpoint rarely resolves bucket host names: path style unless told otherwise.
    provider.pathStyle_ =
        config.contains(Config::PathStyle) ? config.value(Config::PathStyle).toBool() : !endpoint.isEmpty();
    const QString accessKeyId = setting(config, Config::AccessKeyId, {"AWS_ACCESS_KEY_ID"});
    if (!accessKeyId.isEmpty())
        provider.signer_.emplace(
            accessKeyId.toUtf8(), setting(config, Config::SecretAccessKey, {"AWS_SECRET_ACCESS_KEY"}).toUtf8(),
            setting(config, Config::SessionToken, {"AWS_SESSION_TOKEN"}).toUtf8(), region.toUtf8());
    return provider;
}

QUrl Provider::objectUrl(const QString& container, const QString& path,
                         const QList<QPair<QString, QString>>& query) const
{
    QUrl url;
    if (kind_ == Kind::S3) {
        url = endpoint_;
        QString base = url.path();
        if (!base.endsWith(QLatin1Char('/')))
            base += QLatin1Char('/');
        if (pathStyle_)
            base += container + QLatin1Char('/');
        else
            url.setHost(container + QLatin1Char('.') + url.host());
        // Keys are sent exactly as the signature encodes them.
        url.setPath(QString::fromLatin1(S3Signer::uriEncode((base + path).toUtf8(), true)), QUrl::StrictMode);
    } else {
        url = QUrl(container + QLatin1Char('/') + path);
    }
    if (!query.isEmpty()) {
        QByteArray encoded;
        for (const auto& item : query)
            encoded += (encoded.isEmpty() ? "" : "&") + S3Signer::uriEncode(item.first.toUtf8(), false) + '='
                + S3Signer::uriEncode(item.second.toUtf8(), false);
        url.setQuery(QString::fromLatin1(encoded), QUrl::StrictMode);
    }
    return url;
}

} // namespace ZRV::Cloud
