#pragma once

#include "core/encryption/algorithm.h"
#include "filecontainer/packagebase.h"
#include "zrvstreams_export.h"

namespace ZRV::Stream::FileContainer::V1 {

// Reads as a version 1 container of its source: the header, then (encrypted) the IV, then the
// payload: gzip-compressed and/or encrypted directly under the password's master key, or the
// source's bytes unchanged when neither. There is no integrity tag.
class ZRVSTREAMS_EXPORT Package : public PackageBase
{
    Q_OBJECT

public:
    Package(QSharedPointer<QIODevice> source, unsigned long long fileSize, ZRV::Core::Encryption::Algorithm algorithm,
            const QByteArray& password, bool useCompression, QObject* parent);

protected:
    QSharedPointer<QIODevice> encrypt(QSharedPointer<QIODevice> payload) override;
};

} // namespace ZRV::Stream::FileContainer::V1
