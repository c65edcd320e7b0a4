#pragma once

#include "core/encryption/algorithm.h"
#include "filecontainer/packagebase.h"
#include "zrvstreams_export.h"

#include <memory>

namespace ZRV::Stream::FileContainer::V2 {

class Header;

// Reads as a version 2 container of its source: the header, then (encrypted) the header tag and
// the IV, then the payload (gzip-compressed and/or encrypted, or the source's bytes unchanged
// when neither) and (encrypted) the 32-byte HMAC trailer over IV and encrypted payload.
class ZRVSTREAMS_EXPORT Package : public PackageBase
{
    Q_OBJECT

public:
    // NoEncryption packs without encryption. fileSize is recorded, and the source held to it (0
    // records no size).
    Package(QSharedPointer<QIODevice> source, unsigned long long fileSize, ZRV::Core::Encryption::Algorithm algorithm,
            const QByteArray& password, bool useCompression, QObject* parent = nullptr);
    // With a known IV, salt and payload keys (an empty IV or key is drawn at open). The keys must
    // be as long as two keys of the cipher, or open fails: a reader could not find their end.
    Package(QSharedPointer<QIODevice> source, unsigned long long fileSize, ZRV::Core::Encryption::Algorithm algorithm,
            const QByteArray& password, bool useCompression, const QByteArray& iv, const QByteArray& salt,
            const QByteArray& encryptionKey, QObject* parent = nullptr);
    ~Package() override;

    // Payload encryption key followed by payload HMAC key.
    QByteArray encryptionKey() const;
    QByteArray salt() const;

protected:
    // Encrypted, wraps the keys first: the header's bytes carry them.
    bool init() override;
    const V1::Header* header() const override;
    Encryption encrypt(QSharedPointer<QIODevice> payload) override;

private:
    // Wraps the payload keys under the master key into the header.
    bool wrapKeys();

    const std::unique_ptr<Header> header_;
    QByteArray iv_;
    QByteArray encryptionKey_;
    const QByteArray salt_;
};

} // namespace ZRV::Stream::FileContainer::V2
