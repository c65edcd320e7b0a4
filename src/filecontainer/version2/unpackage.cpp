#include "filecontainer/version2/unpackage.h"

#include "core/encryption/key.h"
#include "encryption/decryptionstream.h"
#include "encryption/hmacing/outstream.h"
#include "filecontainer/version2/header.h"
#include "filecontainer/version2/headervalidate.h"

#include <QBuffer>
#include <QCryptographicHash>

using namespace ZRV::Core::Encryption;

namespace ZRV::Stream::FileContainer::V2 {

Unpackage::Unpackage(QSharedPointer<QIODevice> source, const QByteArray& password, QObject* parent)
    : UnpackageBase(std::move(source), password, parent)
{
}

bool Unpackage::validate() const
{
    return (!hmac_ || hmac_->validate()) && (realSize() == 0 || delivered_ == realSize());
}

qint64 Unpackage::readData(char* data, qint64 maxSize)
{
    const qint64 count = UnpackageBase::readData(data, maxSize);
    if (count > 0)
        delivered_ += count;
    return count;
}

bool Unpackage::init()
{
    hmac_.reset();
    delivered_ = 0;
    return UnpackageBase::init();
}

void Unpackage::readHeader(QDataStream& stream)
{
    header_ = std::make_unique<Header>(password_);
    stream >> static_cast<Header&>(*header_);
}

bool Unpackage::initDecryption(QDataStream& stream, quint32& payloadStart)
{
    auto& header = static_cast<Header&>(*header_);
    EncryptionInfo* info = header.encryptionInfo();
    const Algorithm algorithm = info->algorythm();
    HeaderValidate validate(&header);
    stream >> validate;

    auto wrapped = QSharedPointer<QBuffer>::create();
    wrapped->setData(info->cryptedKey());
    wrapped->open(ReadOnly);
    DecryptionStream unwrapping(wrapped, algorithm, info->masterKey(), QByteArray(), KeyWrap, nullptr);
    if (!openStage(unwrapping, ReadOnly))
        return false;
    const QByteArray keys = unwrapping.readAll();
    const int keyLength = Key::length(algorithm);
    const QByteArray iv = readIv(stream, algorithm);
    payloadStart += validate.getSize() + iv.size();

    // The HMAC stage opens first: opening the decryption over a closed stage would close and
    // reopen the container source, which a pipe cannot do and a file would rewind.
    hmac_ = QSharedPointer<Hmacing::OutStream>::create(
        input_, QCryptographicHash::hash(keys.mid(keyLength), QCryptographicHash::Sha256), nullptr);
    if (!openStage(*hmac_, ReadOnly))
        return false;
    hmac_->addData(iv);
    decryption_ = QSharedPointer<DecryptionStream>::create(hmac_, algorithm, keys.left(keyLength), iv, AllData, nullptr);
    return openStage(*decryption_, ReadOnly);
}

} // namespace ZRV::Stream::FileContainer::V2
