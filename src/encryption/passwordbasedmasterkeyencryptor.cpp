#include "encryption/passwordbasedmasterkeyencryptor.h"

#include "core/encryption/key.h"
#include "core/zrvdebug.h"
#include "encryption/sealedblock.h"

#include <QCryptographicHash>
#include <QObject>

namespace ZRV::Encryption {

namespace {

const int Iterations = 50000;

// The same for every instance and password, so that any instance reads any blob of the same
// password and algorithm. Built byte by byte so that it does not sit in the binary as one string.
QByteArray fixedSalt()
{
    QByteArray salt;
    for (unsigned char byte :
         {0xbf, 0x4e, 0xee, 0xc2, 0xab, 0x4b, 0xb7, 0xf4, 0x8f, 0x73, 0xb9, 0x76, 0x98, 0x90, 0x69, 0xc4})
        salt.append(char(byte));
    return salt;
}

} // namespace

PasswordBasedMasterKeyEncryptor::PasswordBasedMasterKeyEncryptor(Core::Encryption::Algorithm algorithm,
                                                                 const QByteArray& password)
    : algorithm_(algorithm)
    , key_(Core::Encryption::Key::generateAdvanced(algorithm, password, fixedSalt(), Iterations))
{
}

const QByteArray& PasswordBasedMasterKeyEncryptor::key() const
{
    return key_;
}

const QString& PasswordBasedMasterKeyEncryptor::errorString() const
{
    return errorString_;
}

QByteArray PasswordBasedMasterKeyEncryptor::integrityKey() const
{
    return QCryptographicHash::hash(key_, QCryptographicHash::Sha256);
}

QByteArray PasswordBasedMasterKeyEncryptor::toStream(const QByteArray& masterKey) const
{
    errorString_.clear();
    const SealedBlock sealer(algorithm_, key_, integrityKey());
    const std::optional<QByteArray> blob = sealer.seal(masterKey);
    if (blob)
        return *blob;
    ZrvDebug("TXK").error() << "Error on create master key encryptor:" << sealer.errorString();
    return QByteArray();
}

QByteArray PasswordBasedMasterKeyEncryptor::fromStream(const QByteArray& blob) const
{
    errorString_.clear();
    const SealedBlock sealed(algorithm_, key_, integrityKey());
    const std::optional<QByteArray> masterKey = sealed.open(blob);
    if (masterKey)
        return *masterKey;
    if (sealed.tagRefused())
        return refuseTag();
    ZrvDebug("TXK").error() << "Exception on decrypt master password, message:" << sealed.errorString();
    errorString_ = sealed.errorString();
    return QByteArray();
}

QByteArray PasswordBasedMasterKeyEncryptor::refuseTag() const
{
    ZrvDebug("TXK").error() << "Error on check hmac in master password";
    errorString_ = QObject::tr("Error on check hmac");
    return QByteArray();
}

} // namespace ZRV::Encryption
