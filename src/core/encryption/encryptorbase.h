#pragma once

#include "core/encryption/algorithm.h"

#include <QByteArray>
#include <QIODevice>
#include <QSharedPointer>

namespace ZRV::Core::Encryption {

// A pull-model cipher engine: reads its source and hands out the transformed bytes.
// Set up with setSource, setIv, setKey, then init(), in that order.
// readData may throw CryptoPP::InvalidCiphertext (bad padding or a wrapped key that fails its
// check), other CryptoPP::Exception types, or std::exception.
class EncryptorBase
{
public:
    // Throws ZRV::Exception::InvalidData for NoEncryption, unknown algorithms and unknown types.
    static EncryptorBase* create(Algorithm algorithm, bool encrypt, Type type);

    virtual ~EncryptorBase();

    virtual bool init() = 0;
    // Up to maxSize output bytes; 0 only once atEnd() is true. Throws on a failed source read.
    virtual qint64 readData(char* data, qint64 maxSize) = 0;
    // True once every output byte was handed out.
    virtual bool atEnd() const = 0;

    void setSource(QSharedPointer<QIODevice> source);
    // An encrypting engine given an empty IV draws a random one; iv() then reports it.
    void setIv(const QByteArray& iv);
    void setKey(const QByteArray& key);
    QByteArray iv() const;

protected:
    EncryptorBase() = default;

    QSharedPointer<QIODevice> source_;
    QByteArray iv_;
    QByteArray key_;
};

} // namespace ZRV::Core::Encryption
