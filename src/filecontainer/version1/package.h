#pragma once

#include "core/encryption/algorithm.h"
#include "filecontainer/packagebase.h"
#include "zrvstreams_export.h"

#include <memory>

namespace ZRV::Stream::FileContainer::V1 {

class Header;

// Reads as a version 1 container of its source: the header, then (encrypted) the IV, then the
// payload: gzip-compressed and/or encrypted directly under the password's master key, or the
// source's bytes unchanged when neither. There is no integrity tag.
class ZRVSTREAMS_EXPORT Package : public PackageBase
{
    Q_OBJECT

public:
    // fileSize is recorded, and the source held to it (0 records no size).
    Package(QSharedPointer<QIODevice> source, unsigned long long fileSize, ZRV::Core::Encryption::Algorithm algorithm,
            const QByteArray& password, bool useCompression, QObject* parent = nullptr);
    ~Package() override;

protected:
    const V1::Header* header() const override;
    Encryption encrypt(QSharedPointer<QIODevice> payload) override;

private:
    const std::unique_ptr<Header> header_;
};

} // namespace ZRV::Stream::FileContainer::V1
