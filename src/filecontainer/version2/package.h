#pragma once

#include "core/encryption/algorithm.h"
#include "filecontainer/packagebase.h"
#include "zrvstreams_export.h"

namespace ZRV::Stream::Hmacing {
class InStream;
}

namespace ZRV::Stream::FileContainer::V2 {

// Reads as a version 2 container of its source: the header, then (encrypted) the header tag and
// the IV, then the payload (gzip-compressed and/or encrypted, or the source's bytes unchanged
// when neither) and (encrypted) the 32-byte HMAC trailer over IV and encrypted payload.
class ZRVSTREAMS_EXPORT Package : public PackageBase
{
    Q_OBJECT

public:
    // NoEncryption packs without encryption. fileSize is recorded as given.
    Package(QSharedPointer<QIODevice> source, unsigned long long fileSize, ZRV::Core::Encryption::Algorithm algorithm,
            const QByteArray& password, bool useCompression, QObject* parent);
    // With a known IV, salt and payload keys (an empty IV or key is drawn at open). The keys must
    // be as long as two keys of the cipher, or open fails: a reader could not find their end.
    Package(QSharedPointer<QIODevice> source, unsigned long long fileSize, ZRV::Core::Encryption::Algorithm algorithm,
            const QByteArray& password, bool useCompression, const QByteArray& iv, const QByteArray& salt,
            const QByteArray& encryptionKey, QObject* parent);

    // Payload encryption key followed by payload HMAC key.
    QByteArray encryptionKey() const;
    QByteArray salt() const;

protected:
    // Encrypted, wraps the keys first: the header's bytes carry them.
    bool init() override;
    QSharedPointer<QIODevice> encrypt(QSharedPointer<QIODevice> payload) override;

private:
    // Wraps the payload keys under the master key into the header.
    bool wrapKeys();

    QByteArray iv_;
    QByteArray encryptionKey_;
    QByteArray salt_;
    QSharedPointer<Hmacing::InStream> hmac_;
};

} // namespace ZRV::Stream::FileContainer::V2
