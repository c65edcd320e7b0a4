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

Unpackage::~Unpackage() = default;

const V1::Header* Unpackage::header() const
{
    return header_.get();
}

void Unpackage::readHeader(QDataStream& stream)
{
    header_ = std::make_unique<Header>(password_);
    stream >> *header_;
}

UnpackageBase::Decryption Unpackage::decrypt(QDataStream& stream, const QSharedPointer<QIODevice>& input)
{
    EncryptionInfo* info = header_->encryptionInfo();
    const Algorithm algorithm = info->algorythm();
    HeaderValidate validate(header_.get());
    stream >> validate;

    auto wrapped = QSharedPointer<QBuffer>::create();
    wrapped->setData(info->cryptedKey());
    wrapped->open(ReadOnly);
    DecryptionStream unwrapping(wrapped, algorithm, info->masterKey(), QByteArray(), KeyWrap);
    if (!openStage(unwrapping, ReadOnly))
        return {};
    const QByteArray keys = unwrapping.readAll();
    const int keyLength = Key::length(algorithm);
    const QByteArray iv = readIv(stream, algorithm);

    // The HMAC stage opens first: opening the decryption over a closed stage would close and
    // reopen the container source, which a pipe cannot do and a file would rewind.
    auto check = QSharedPointer<Hmacing::OutStream>::create(
        input, QCryptographicHash::hash(keys.mid(keyLength), QCryptographicHash::Sha256), nullptr);
    if (!openStage(*check, ReadOnly))
        return {};
    check->setWorkerCount(workerCount());
    check->addData(iv);
    auto decryption = QSharedPointer<DecryptionStream>::create(check, algorithm, keys.left(keyLength), iv, AllData);
    if (!openStage(*decryption, ReadOnly))
        return {};
    return {decryption, check, quint32(validate.getSize() + iv.size())};
}

} // namespace ZRV::Stream::FileContainer::V2
