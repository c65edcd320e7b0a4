#pragma once

#include "core/encryption/algorithm.h"
#include "zrvstreams_export.h"

#include <QByteArray>
#include <QString>

namespace ZRV::Encryption {

// Wraps a master key under a key derived from a password into a self-checking master-key blob:
// a SealedBlock (IV | master key encrypted with type 0 | HMAC-SHA-256 over IV and ciphertext)
// under the wrapping key, with SHA-256 of the wrapping key as its MAC key. The wrapping key comes from PBKDF2 with a
// fixed salt and 50000 iterations, so equal passwords and algorithms give equal keys in every
// instance. Not thread-safe: the const operations rewrite the error string.
class ZRVSTREAMS_EXPORT PasswordBasedMasterKeyEncryptor
{
public:
    PasswordBasedMasterKeyEncryptor(Core::Encryption::Algorithm algorithm, const QByteArray& password);

    const QByteArray& key() const;
    // The blob, or empty on failure (logged).
    QByteArray toStream(const QByteArray& masterKey) const;
    // The master key, or empty when the blob's tag does not match ("Error on check hmac", also for
    // a wrong password) or it does not decrypt; the reason is then in errorString(). The tag is
    // checked before anything is decrypted.
    QByteArray fromStream(const QByteArray& blob) const;
    // Empty after a successful fromStream and after every toStream.
    const QString& errorString() const;

private:
    QByteArray integrityKey() const;
    QByteArray refuseTag() const;

    const Core::Encryption::Algorithm algorithm_;
    const QByteArray key_;
    mutable QString errorString_;
};

} // namespace ZRV::Encryption
