#include "cloud/configkeys.h"

namespace ZRV::Cloud::Config {

const QString CloudId = QStringLiteral("CloudId");
const QString CloudType = QStringLiteral("CloudType");
const QString ChunkSize = QStringLiteral("ChunkSize");
const QString ContainerName = QStringLiteral("ContainerName");

} // namespace ZRV::Cloud::Config
