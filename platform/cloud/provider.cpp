#include "provider.h"

#include "cloud/configkeys.h"

#include <QtGlobal>

namespace ZRV::Cloud {

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
    else
        return std::nullopt;

    qint64 chunkSize = config.value(Config::ChunkSize).toLongLong();
    if (chunkSize < 1)
        chunkSize = DefaultChunkSize;
    return Provider(kind, qMin(chunkSize, MaximumChunkSize));
}

} // namespace ZRV::Cloud
