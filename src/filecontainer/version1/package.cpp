#include "filecontainer/version1/package.h"

#include "core/encryption/key.h"
#include "encryption/encryptionstream.h"
#include "filecontainer/version1/encryptioninfo.h"
#include "filecontainer/version1/header.h"

using namespace ZRV::Core::Encryption;

namespace ZRV::Stream::FileContainer::V1 {

Package::Package(QSharedPointer<QIODevice> source, unsigned long long fileSize, Algorithm algorithm,
                 const QByteArray& password, bool useCompression, QObject* parent)
    : PackageBase(std::move(source), password,
                  std::make_unique<Header>(algorithm, Key::randomSalt(), useCompression, fileSize, password), parent)
{
}

QSharedPointer<QIODevice> Package::encrypt(QSharedPointer<QIODevice> payload)
{
    EncryptionInfo* info = header_->encryptionInfo();
    encryption_ = QSharedPointer<EncryptionStream>::create(payload, info->algorythm(), info->masterKey(), QByteArray(),
                                                           AllData, nullptr);
    if (!openStage(*encryption_, ReadOnly))
        return nullptr;
    headerBytes_ += encryption_->iv();
    return encryption_;
}

} // namespace ZRV::Stream::FileContainer::V1
