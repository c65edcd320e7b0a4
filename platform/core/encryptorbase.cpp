#include "core/encryption/encryptorbase.h"

#include "cbcengine.h"
#include "keywrapengine.h"

#include "core/encryption/key.h"
#include "core/exception/invaliddata.h"

#include <QObject>
#include <cryptopp/simple.h>

namespace ZRV::Core::Encryption {

EncryptorBase* EncryptorBase::create(Algorithm algorithm, bool encrypt, Type type)
{
    if (Key::length(algorithm) == 0)
        throw ZRV::Exception::InvalidData(QObject::tr("Unsupported encryption algorithm %1").arg(algorithm));
    switch (type) {
    case AllData:
        return new CbcEngine(algorithm, encrypt);
    case KeyWrap:
        return new KeyWrapEngine(algorithm, encrypt);
    }
    throw ZRV::Exception::InvalidData(QObject::tr("Unsupported encryption type %1").arg(type));
}

EncryptorBase::EncryptorBase(Algorithm algorithm)
    : algorithm_(algorithm)
{
}

EncryptorBase::~EncryptorBase() = default;

void EncryptorBase::setSource(QSharedPointer<QIODevice> source)
{
    source_ = std::move(source);
}

void EncryptorBase::setIv(const QByteArray& iv)
{
    iv_ = iv;
}

void EncryptorBase::setKey(const QByteArray& key)
{
    key_ = key;
}

QByteArray EncryptorBase::iv() const
{
    return iv_;
}

void EncryptorBase::checkKeyLength() const
{
    // Crypto++'s AES takes any of its three key lengths, so the cipher alone would not notice.
    if (key_.size() != Key::length(algorithm_))
        throw CryptoPP::InvalidKeyLength("encryption algorithm " + std::to_string(algorithm_), key_.size());
}

qint64 EncryptorBase::readSource(char* data, qint64 maxSize)
{
    if (!source_)
        throw ZRV::Exception::Base(QObject::tr("The cipher engine has no source device"));
    const qint64 count = source_->read(data, maxSize);
    if (count < 0)
        throw ZRV::Exception::Base(QObject::tr("Cannot read the data to transform: %1").arg(source_->errorString()));
    return count;
}

} // namespace ZRV::Core::Encryption
