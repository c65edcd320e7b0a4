#include "cloud/cloudsimplestream.h"

#include "cloud/cloudfactory.h"
#include "cloud/configkeys.h"
#include "core/zrvdebug.h"

#include <cstring>

namespace ZRV::Stream::Cloud {

CloudSimpleStream::CloudSimpleStream(const QMap<QString, QVariant>& config, const QString& path,
                                     unsigned long long size, QObject* parent)
    : ICloudStream(config, path, size, parent)
{
}

CloudSimpleStream::~CloudSimpleStream()
{
}

bool CloudSimpleStream::open(OpenMode mode)
{
    if (api_)
        return false;
    api_.reset(ZRV::Cloud::Api::CloudFactory::create(config_));
    if (!api_) {
        ZrvDebug("TXK").error() << "on create cloud api object for CloudSimpleStream";
        QMap<QString, QVariant> shown = config_;
        for (const QString& secret : {ZRV::Cloud::Config::SecretAccessKey, ZRV::Cloud::Config::SessionToken})
            if (shown.contains(secret))
                shown[secret] = QStringLiteral("(hidden)");
        ZrvDebug("TXK").debug() << "cloud config:" << shown;
        return false;
    }
    return ICloudStream::open(mode);
}

qint64 CloudSimpleStream::readData(char* data, qint64 maxSize)
{
    // QIODevice only calls readData once its buffer is used up, so position_ is where the caller is.
    const quint64 wanted = qMin<quint64>(quint64(qMax<qint64>(maxSize, 0)), remaining());
    if (!api_ || wanted == 0)
        return 0;
    const QString container = config_[ZRV::Cloud::Config::ContainerName].toString();
    const QByteArray bytes =
        api_->downloadRange(container, path_, position_, wanted - 1, QMap<QString, QVariant>(), QUuid());
    const qint64 count = qMin<qint64>(bytes.size(), qint64(wanted));
    std::memcpy(data, bytes.constData(), size_t(count));
    position_ += quint64(count);
    return count;
}

} // namespace ZRV::Stream::Cloud
