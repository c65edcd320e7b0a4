#include "filecontainer/version2/package.h"

#include "compression/compressionstream.h"
#include "core/encryption/key.h"
#include "encryption/encryptionstream.h"
#include "encryption/hmacing/instream.h"
#include "filecontainer/version2/compressioninfo.h"
#include "filecontainer/version2/header.h"
#include "filecontainer/version2/headervalidate.h"
#include "stream/joinstream.h"

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
    : Base(std::move(source), password, parent)
    , header_(new Header(algorithm, salt, useCompression, fileSize, password))
    , iv_(iv)
    , encryptionKey_(encryptionKey)
    , salt_(salt)
{
}

Package::~Package()
{
    delete header_;
}

qint64 Package::size() const
{
    return 0;
}

bool Package::atEnd() const
{
    return !join_ || !isOpen() || join_->atEnd();
}

QByteArray Package::iv() const
{
    return encryption_ ? encryption_->iv() : QByteArray();
}

QByteArray Package::encryptionKey() const
{
    return encryptionKey_;
}

QByteArray Package::salt() const
{
    return salt_;
}

bool Package::useCompression() const
{
    return header_->compressionInfo();
}

bool Package::useEncryption() const
{
    return header_->encryptionInfo() && header_->encryptionInfo()->algorythm() != NoEncryption;
}

qint64 Package::readData(char* data, qint64 maxSize)
{
    return readStage(*join_, data, maxSize);
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
    EncryptionStream wrapping(keys, algorithm, info->masterKey(), QByteArray(), KeyWrap, nullptr);
    if (!openStage(wrapping, QIODevice::ReadOnly))
        return false;
    info->setCryptedKey(wrapping.readAll());
    return true;
}

bool Package::init()
{
    const bool encrypted = useEncryption();
    const OpenMode mode = ReadOnly | Unbuffered;
    if (encrypted && !wrapKeys())
        return false;
    headerBytes_ = header_->byteArray();

    QSharedPointer<QIODevice> payload = source_;
    if (useCompression()) {
        compression_ = QSharedPointer<CompressionStream>::create(payload, ZRV::Core::Compression::Gzip, nullptr);
        if (!openStage(*compression_, mode))
            return false;
        payload = compression_;
    }
    if (encrypted) {
        const Algorithm algorithm = header_->encryptionInfo()->algorythm();
        const int keyLength = Key::length(algorithm);
        encryption_ = QSharedPointer<EncryptionStream>::create(payload, algorithm, encryptionKey_.left(keyLength), iv_,
                                                               AllData, nullptr);
        if (!openStage(*encryption_, mode))
            return false;
        if (iv_.isEmpty())
            iv_ = encryption_->iv();
        hmac_ = QSharedPointer<Hmacing::InStream>::create(
            encryption_, QCryptographicHash::hash(encryptionKey_.mid(keyLength), QCryptographicHash::Sha256), nullptr);
        if (!openStage(*hmac_, mode))
            return false;
        hmac_->addData(encryption_->iv());
        headerBytes_ += HeaderValidate(header_).byteArray() + encryption_->iv();
        payload = hmac_;
    }

    headerBuffer_ = QSharedPointer<QBuffer>::create(&headerBytes_);
    if (!openStage(*headerBuffer_, mode))
        return false;
    join_ = QSharedPointer<JoinStream>::create(QList<QSharedPointer<QIODevice>>(), nullptr);
    join_->addStream(headerBuffer_);
    join_->addStream(payload);
    return openStage(*join_, mode);
}

} // namespace ZRV::Stream::FileContainer::V2
