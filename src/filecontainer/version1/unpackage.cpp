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

void Unpackage::readHeader(QDataStream& stream)
{
    header_ = std::make_unique<Header>(password_);
    stream >> *header_;
}

bool Unpackage::initDecryption(QDataStream& stream, quint32& payloadStart)
{
    EncryptionInfo* info = header_->encryptionInfo();
    const QByteArray iv = readIv(stream, info->algorythm());
    payloadStart += iv.size();
    decryption_ = QSharedPointer<DecryptionStream>::create(input_, info->algorythm(), info->masterKey(), iv, AllData,
                                                           nullptr);
    return openStage(*decryption_, ReadOnly);
}

} // namespace ZRV::Stream::FileContainer::V1
