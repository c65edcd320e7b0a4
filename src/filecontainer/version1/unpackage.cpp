#include "filecontainer/version1/unpackage.h"

#include "encryption/decryptionstream.h"
#include "filecontainer/version1/encryptioninfo.h"
#include "filecontainer/version1/header.h"

using namespace ZRV::Core::Encryption;

namespace ZRV::Stream::FileContainer::V1 {

Unpackage::Unpackage(QSharedPointer<QIODevice> source, const QByteArray& password, QObject* parent)
    : UnpackageBase(std::move(source), password, parent)
{
}

Unpackage::~Unpackage() = default;

const Header* Unpackage::header() const
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
    const QByteArray iv = readIv(stream, info->algorythm());
    auto decryption =
        QSharedPointer<DecryptionStream>::create(input, info->algorythm(), info->masterKey(), iv, AllData);
    if (!openStage(*decryption, ReadOnly))
        return {};
    return {decryption, nullptr, quint32(iv.size())};
}

} // namespace ZRV::Stream::FileContainer::V1
