#pragma once

#include "cloud/icloudstream.h"
#include "zrvstreams_export.h"

#include <memory>

namespace ZRV::Cloud::Api {
class ICloudApi;
}

namespace ZRV::Stream::Cloud {

// Reads the object on demand: every readData is one ranged read through a cloud API object, so
// nothing is stored locally. readData returns 0 (with no error string) at the stated size and when
// a ranged read yields nothing; it never reads past the stated size.
class ZRVSTREAMS_EXPORT CloudSimpleStream : public ICloudStream
{
    Q_OBJECT

public:
    CloudSimpleStream(const QMap<QString, QVariant>& config, const QString& path, unsigned long long size,
                      QObject* parent = nullptr);
    ~CloudSimpleStream() override;

    // Makes the cloud API object, then opens as ICloudStream does. False when an API object exists
    // already (a stream is opened at most once) or none can be made for the configuration (logged).
    bool open(OpenMode mode) override;

protected:
    qint64 readData(char* data, qint64 maxSize) override;

private:
    std::unique_ptr<ZRV::Cloud::Api::ICloudApi> api_;
};

} // namespace ZRV::Stream::Cloud
