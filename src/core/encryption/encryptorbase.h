#pragma once

#include "core/encryption/algorithm.h"
#include "zrvcore_export.h"

#include <QByteArray>
#include <QIODevice>
#include <QSharedPointer>

namespace ZRV::Core::Encryption {

// A pull-model cipher engine: reads its source and hands out the transformed bytes.
// Set up with setSource, setIv, setKey, then init(), in that order.
// init() throws CryptoPP::Exception types for a key or IV of the wrong length.
// readData may throw CryptoPP::InvalidCiphertext (bad padding or a wrapped key that fails its
// check), other CryptoPP::Exception types, or ZRV::Exception::Base when the source fails.
class ZRVCORE_EXPORT EncryptorBase
{
public:
    // Throws ZRV::Exception::InvalidData for NoEncryption, unknown algorithms and unknown types.
    static EncryptorBase* create(Algorithm algorithm, bool encrypt, Type type);

    virtual ~EncryptorBase();

    virtual bool init() = 0;
    // Up to maxSize output bytes. 0 once atEnd() is true, or while the source has nothing to
    // give yet without being at its end (the caller asks again).
    virtual qint64 readData(char* data, qint64 maxSize) = 0;
    // True once every output byte was handed out.
    virtual bool atEnd() const = 0;

    void setSource(QSharedPointer<QIODevice> source);
    // An encrypting engine given an empty IV draws a random one; iv() then reports it.
    void setIv(const QByteArray& iv);
    void setKey(const QByteArray& key);
    QByteArray iv() const;

protected:
    explicit EncryptorBase(Algorithm algorithm);

    // Throws CryptoPP::InvalidKeyLength unless the key has Key::length(algorithm) bytes.
    void checkKeyLength() const;
    // The source's read; throws ZRV::Exception::Base with the source's error text when it fails.
    qint64 readSource(char* data, qint64 maxSize);

    const Algorithm algorithm_;
    QSharedPointer<QIODevice> source_;
    QByteArray iv_;
    QByteArray key_;
};

} // namespace ZRV::Core::Encryption
