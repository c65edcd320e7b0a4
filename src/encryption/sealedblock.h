#pragma once

#include "core/encryption/algorithm.h"

#include <QByteArray>
#include <QString>

#include <optional>

namespace ZRV::Encryption {

// The sealed form of a master key and of every encrypted stored block: IV (the cipher's block
// length) ‖ ciphertext (the plain bytes in CBC mode with PKCS#7 padding, cipher type 0) ‖ tag
// (HMAC-SHA-256 under the MAC key over the IV and the ciphertext, 32 bytes). Each seal draws a
// fresh random IV. A reader compares the tag in constant time before it decrypts anything.
// Not thread-safe: the const operations rewrite the error string.
class SealedBlock
{
public:
    static constexpr int TagLength = 32;

    SealedBlock(Core::Encryption::Algorithm algorithm, QByteArray key, QByteArray macKey);

    // The sealed bytes; nullopt, with the error string set, when the engine refuses the key or
    // the algorithm.
    std::optional<QByteArray> seal(const QByteArray& plain) const;
    // The plain bytes; nullopt, with the error string set, for bytes shorter than an IV and a
    // tag or a tag that does not match (tagRefused() true), or a ciphertext the cipher refuses.
    std::optional<QByteArray> open(const QByteArray& sealed) const;

    bool tagRefused() const;
    // Whether two tags are equal, in a time that does not depend on where they differ.
    static bool equalInConstantTime(const QByteArray& a, const QByteArray& b);
    const QString& errorString() const;

private:
    QByteArray tag(const char* data, int size) const;

    const Core::Encryption::Algorithm algorithm_;
    const QByteArray key_;
    const QByteArray macKey_;
    mutable QString errorString_;
    mutable bool tagRefused_ = false;
};

} // namespace ZRV::Encryption
