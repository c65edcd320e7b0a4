#include "filecontainer/version1/package.h"

#include "core/encryption/key.h"
#include "encryption/encryptionstream.h"
#include "filecontainer/version1/encryptioninfo.h"
#include "filecontainer/version1/header.h"

using namespace ZRV::Core::Encryption;

namespace ZRV::Stream::FileContainer::V1 {

Package::Package(QSharedPointer<QIODevice> source, unsigned long long fileSize, Algorithm algorithm,
                 const QByteArray& password, bool useCompression, QObject* parent)
    : PackageBase(std::move(source), password, parent)
    , header_(std::make_unique<Header>(algorithm, Key::randomSalt(), useCompression, fileSize, password))
{
}

Package::~Package() = default;

const Header* Package::header() const
{
    return header_.get();
}

PackageBase::Encryption Package::encrypt(QSharedPointer<QIODevice> payload)
{
    EncryptionInfo* info = header_->encryptionInfo();
    auto encryption =
        QSharedPointer<EncryptionStream>::create(payload, info->algorythm(), info->masterKey(), QByteArray(), AllData);
    if (!openStage(*encryption, ReadOnly))
        return {};
    return {encryption, encryption->iv(), encryption->iv()};
}

} // namespace ZRV::Stream::FileContainer::V1
