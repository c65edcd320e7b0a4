#pragma once

#include "core/encryption/encryptorbase.h"

namespace ZRV::Core::Encryption {

// Type 1: deterministic authenticated wrapping of short keys under a key K of L = key length
// bytes. Wrapping P gives S || C, where S is HMAC-SHA-256(K, P) cut to L bytes and C is P
// encrypted in CFB mode (full-block feedback) under K with the first block of S as IV; so n
// bytes give n + L. Unwrapping recomputes S and throws CryptoPP::InvalidCiphertext when it
// differs or when the input is shorter than L. The whole input is gathered before any output,
// so it is bounded: more than MaxKeyLength plain bytes throw CryptoPP::InvalidDataFormat.
// The IV given to setIv plays no part.
class KeyWrapEngine : public EncryptorBase
{
public:
    static constexpr int MaxKeyLength = 1024;

    KeyWrapEngine(Algorithm algorithm, bool wrap);

    // Throws CryptoPP::InvalidKeyLength for a key of the wrong length.
    bool init() override;
    qint64 readData(char* data, qint64 maxSize) override;
    bool atEnd() const override;

private:
    bool gather();
    QByteArray wrap(const QByteArray& plain) const;
    QByteArray unwrap(const QByteArray& wrapped) const;
    QByteArray tag(const QByteArray& plain) const;
    QByteArray cfb(const QByteArray& input, const QByteArray& tag, bool encrypt) const;

    const bool wrap_;
    const int keyLength_;
    QByteArray input_;
    QByteArray output_;
    qint64 delivered_ = 0;
    bool finished_ = false;
};

} // namespace ZRV::Core::Encryption
