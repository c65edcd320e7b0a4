#include "filecontainer/version2/package.h"

#include "core/encryption/key.h"
#include "encryption/encryptionstream.h"
#include "encryption/hmacing/instream.h"
#include "filecontainer/version2/header.h"
#include "filecontainer/version2/headervalidate.h"

#include <QBuffer>
#include <QCryptographicHash>

using namespace ZRV::Core::Encryption;

namespace ZRV::Stream::FileContainer::V2 {

Package::Package(QSharedPointer<QIODevice> source, unsigned long long fileSize, Algorithm algorithm,
                 const QByteArray& password, bool useCompression, QObject* parent)
    : Package(std::move(source), fileSize, algorithm, password, useCompression, QByteArray(), Key::randomSalt(),
              QByteArray(), parent)
{
}

Package::Package(QSharedPointer<QIODevice> source, unsigned long long fileSize, Algorithm algorithm,
                 const QByteArray& password, bool useCompression, const QByteArray& iv, const QByteArray& salt,
                 const QByteArray& encryptionKey, QObject* parent)
    : PackageBase(std::move(source), password, parent)
    , header_(std::make_unique<Header>(algorithm, salt, useCompression, fileSize, password))
    , iv_(iv)
    , encryptionKey_(encryptionKey)
    , salt_(salt)
{
}

Package::~Package() = default;

const V1::Header* Package::header() const
{
    return header_.get();
}

QByteArray Package::encryptionKey() const
{
    return encryptionKey_;
}

QByteArray Package::salt() const
{
    return salt_;
}

bool Package::init()
{
    return (!useEncryption() || wrapKeys()) && PackageBase::init();
}

bool Package::wrapKeys()
{
    EncryptionInfo* info = header_->encryptionInfo();
    const Algorithm algorithm = info->algorythm();
    const int keyLength = Key::length(algorithm);
    if (encryptionKey_.isEmpty())
        encryptionKey_ = Key::randomKey(algorithm) + Key::randomKey(algorithm);
    // Wrapping adds one key length; a reader expects exactly three (getKeyLength).
    if (encryptionKey_.size() != 2 * keyLength) {
        setErrorString(tr("Payload keys of %1 bytes given where the cipher needs two keys of %2 bytes")
                           .arg(encryptionKey_.size())
                           .arg(keyLength));
        return false;
    }

    auto keys = QSharedPointer<QBuffer>::create();
    keys->setData(encryptionKey_);
    keys->open(QIODevice::ReadOnly);
    EncryptionStream wrapping(keys, algorithm, info->masterKey(), QByteArray(), KeyWrap);
    if (!openStage(wrapping, QIODevice::ReadOnly))
        return false;
    info->setCryptedKey(wrapping.readAll());
    return true;
}

PackageBase::Encryption Package::encrypt(QSharedPointer<QIODevice> payload)
{
    const Algorithm algorithm = header_->encryptionInfo()->algorythm();
    const int keyLength = Key::length(algorithm);
    auto encryption =
        QSharedPointer<EncryptionStream>::create(payload, algorithm, encryptionKey_.left(keyLength), iv_, AllData);
    if (!openStage(*encryption, ReadOnly))
        return {};
    if (iv_.isEmpty())
        iv_ = encryption->iv();
    auto hmac = QSharedPointer<Hmacing::InStream>::create(
        encryption, QCryptographicHash::hash(encryptionKey_.mid(keyLength), QCryptographicHash::Sha256), nullptr);
    if (!openStage(*hmac, ReadOnly))
        return {};
    hmac->setWorkerCount(workerCount());
    hmac->addData(encryption->iv());
    return {hmac, HeaderValidate(header_.get()).byteArray() + encryption->iv(), encryption->iv()};
}

} // namespace ZRV::Stream::FileContainer::V2
