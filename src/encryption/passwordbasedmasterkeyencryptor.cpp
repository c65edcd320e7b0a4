#include "encryption/passwordbasedmasterkeyencryptor.h"

#include "core/encryption/key.h"
#include "core/exception/base.h"
#include "core/zrvdebug.h"
#include "encryption/decryptionstream.h"
#include "encryption/encryptionstream.h"
#include "encryption/hmacing/instream.h"
#include "encryption/hmacing/outstream.h"

#include <QBuffer>
#include <QCryptographicHash>

namespace ZRV::Encryption {

namespace {

const int Iterations = 50000;

// The same for every instance and password, so that any instance reads any blob of the same
// password and algorithm. Built byte by byte so that it does not sit in the binary as one string.
QByteArray fixedSalt()
{
    QByteArray salt;
    for (unsigned char byte : {0xbf, 0x4e, 0xee, 0xc2, 0xab, 0x4b, 0xb7, 0xf4, 0x8f, 0x73, 0xb9, 0x76, 0x98, 0x90,
                               0x69, 0xc4})
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
    try {
        auto plain = QSharedPointer<QBuffer>::create();
        plain->setData(masterKey);
        plain->open(QIODevice::ReadOnly);
        auto encryption = QSharedPointer<Stream::EncryptionStream>::create(plain, algorithm_, key_, QByteArray(),
                                                                           Core::Encryption::AllData, nullptr);
        if (!encryption->open(QIODevice::ReadOnly))
            return QByteArray();
        Stream::Hmacing::InStream sealed(encryption, integrityKey(), nullptr);
        sealed.open(QIODevice::ReadOnly);
        sealed.addData(encryption->iv());
        return encryption->iv() + sealed.readAll();
    } catch (const ZRV::Exception::Base& e) {
        ZrvDebug("TXK").error() << "Error on create master key encryptor:" << e.message();
        return QByteArray();
    }
}

QByteArray PasswordBasedMasterKeyEncryptor::fromStream(const QByteArray& blob) const
{
    errorString_.clear();
    const QByteArray iv = blob.left(Core::Encryption::Key::ivLength(algorithm_));
    // Too short for an IV, so no tag can match; the engine would refuse the short IV outright.
    if (iv.size() < Core::Encryption::Key::ivLength(algorithm_))
        return refuseTag();
    auto body = QSharedPointer<QBuffer>::create();
    body->setData(blob.mid(iv.size()));
    body->open(QIODevice::ReadOnly);
    auto checked = QSharedPointer<Stream::Hmacing::OutStream>::create(body, integrityKey(), nullptr);
    checked->open(QIODevice::ReadOnly);
    checked->addData(iv);
    Stream::DecryptionStream decryption(checked, algorithm_, key_, iv, Core::Encryption::AllData, nullptr);
    if (!decryption.open(QIODevice::ReadOnly))
        return QByteArray();

    QByteArray masterKey;
    try {
        masterKey = decryption.readAll();
        if (masterKey.isEmpty() && !decryption.isOpen()) {
            ZrvDebug("TXK").error() << "Error on decrypt master password, message:" << decryption.errorString();
            errorString_ = decryption.errorString();
            return QByteArray();
        }
    } catch (const ZRV::Exception::Base& e) {
        ZrvDebug("TXK").error() << "Exception on decrypt master password, message:" << e.message();
        errorString_ = e.message();
        return QByteArray();
    }
    if (!checked->validate())
        return refuseTag();
    return masterKey;
}

QByteArray PasswordBasedMasterKeyEncryptor::refuseTag() const
{
    ZrvDebug("TXK").error() << "Error on check hmac in master password";
    errorString_ = QObject::tr("Error on check hmac");
    return QByteArray();
}

} // namespace ZRV::Encryption
