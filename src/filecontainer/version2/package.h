#pragma once

#include "core/encryption/algorithm.h"
#include "filecontainer/base.h"

namespace ZRV::Stream {
class CompressionStream;
class EncryptionStream;
class JoinStream;
namespace Hmacing {
class InStream;
}
} // namespace ZRV::Stream

namespace ZRV::Stream::FileContainer::V2 {

class Header;

// Reads as a version 2 container of its source: the header, then (encrypted) the header tag and
// the IV, then the payload (gzip-compressed and/or encrypted, or the source's bytes unchanged
// when neither) and (encrypted) the 32-byte HMAC trailer over IV and encrypted payload.
// Everything but the header is produced as the caller reads. Errors of inner streams while
// reading set the error string and are rethrown.
class Package : public Base
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
    ~Package() override;

    qint64 size() const override;
    // True until opened, then once every byte of the container was handed out.
    bool atEnd() const override;
    QByteArray iv() const override;
    // Payload encryption key followed by payload HMAC key.
    QByteArray encryptionKey() const;
    QByteArray salt() const;
    bool useCompression() const override;
    bool useEncryption() const override;

protected:
    qint64 readData(char* data, qint64 maxSize) override;
    bool init() override;

private:
    // Wraps the payload keys under the master key into the header.
    bool wrapKeys();

    Header* header_;
    QByteArray headerBytes_;
    QByteArray iv_;
    QByteArray encryptionKey_;
    QByteArray salt_;
    QSharedPointer<JoinStream> join_;
    QSharedPointer<QIODevice> headerBuffer_;
    QSharedPointer<Hmacing::InStream> hmac_;
    QSharedPointer<EncryptionStream> encryption_;
    QSharedPointer<CompressionStream> compression_;
};

} // namespace ZRV::Stream::FileContainer::V2
