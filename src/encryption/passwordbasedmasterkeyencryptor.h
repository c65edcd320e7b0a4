#pragma once

#include "core/encryption/algorithm.h"
#include "zrvstreams_export.h"

#include <QByteArray>
#include <QString>

namespace ZRV::Encryption {

// Wraps a master key under a key derived from a password into a self-checking master-key blob:
// IV (Key::ivLength bytes) | master key encrypted with type 0 | HMAC-SHA-256 over IV and
// ciphertext, keyed with SHA-256 of the wrapping key. The wrapping key comes from PBKDF2 with a
// fixed salt and 50000 iterations, so equal passwords and algorithms give equal keys in every
// instance. Not thread-safe: the const operations rewrite the error string.
class ZRVSTREAMS_EXPORT PasswordBasedMasterKeyEncryptor
{
public:
    PasswordBasedMasterKeyEncryptor(Core::Encryption::Algorithm algorithm, const QByteArray& password);

    const QByteArray& key() const;
    // The blob, or empty on failure (logged).
    QByteArray toStream(const QByteArray& masterKey) const;
    // The master key, or empty when the blob does not decrypt or its tag does not match; the
    // reason is then in errorString(). Decryption runs first, then the tag check.
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
