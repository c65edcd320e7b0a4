#include "cloud/configkeys.h"

namespace ZRV::Cloud::Config {

const QString CloudId = QStringLiteral("CloudId");
const QString CloudType = QStringLiteral("CloudType");
const QString ChunkSize = QStringLiteral("ChunkSize");
const QString ContainerName = QStringLiteral("ContainerName");
const QString TransferTimeout = QStringLiteral("TransferTimeout");
const QString RetryLimit = QStringLiteral("RetryLimit");
const QString RetryDelay = QStringLiteral("RetryDelay");
const QString Endpoint = QStringLiteral("Endpoint");
const QString Region = QStringLiteral("Region");
const QString AccessKeyId = QStringLiteral("AccessKeyId");
const QString SecretAccessKey = QStringLiteral("SecretAccessKey");
const QString SessionToken = QStringLiteral("SessionToken");
const QString PathStyle = QStringLiteral("PathStyle");

} // namespace ZRV::Cloud::Config
