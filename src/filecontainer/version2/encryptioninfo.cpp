#include "filecontainer/version2/encryptioninfo.h"

#include "core/encryption/key.h"
#include "core/exception/invaliddata.h"

#include <QObject>

using namespace ZRV::Core::Encryption;

namespace ZRV::Stream::FileContainer::V2 {

EncryptionInfo::EncryptionInfo(const QByteArray& password)
    : V1::EncryptionInfo(password)
{
}

EncryptionInfo::EncryptionInfo(Algorithm algorithm, const QByteArray& password, const QByteArray& salt)
    : V1::EncryptionInfo(algorithm, password, salt)
{
    kdfIteration_ = Key::ITERATION_ADVANCED;
}

EncryptionInfo::~EncryptionInfo() = default;

const QByteArray& EncryptionInfo::cryptedKey() const
{
    return cryptedKey_;
}

void EncryptionInfo::setCryptedKey(const QByteArray& cryptedKey)
{
    cryptedKey_ = cryptedKey;
}

int EncryptionInfo::getSize() const
{
    return algorithm_ == NoEncryption ? 0 : V1::EncryptionInfo::getSize() + cryptedKey_.size();
}

bool EncryptionInfo::operator==(const EncryptionInfo& other) const
{
    return V1::EncryptionInfo::operator==(other) && cryptedKey_ == other.cryptedKey_;
}

QDataStream& EncryptionInfo::operator>>(QDataStream& stream) const
{
    V1::EncryptionInfo::operator>>(stream);
    if (algorithm_ != NoEncryption)
        stream.writeRawData(cryptedKey_.constData(), cryptedKey_.size());
    return stream;
}

QDataStream& EncryptionInfo::operator<<(QDataStream& stream)
{
    V1::EncryptionInfo::operator<<(stream);
    if (algorithm_ == NoEncryption)
        throw ZRV::Exception::InvalidData(QObject::tr("Unsupported encryption type %1").arg(0));
    const int length = getKeyLength(*this);
    cryptedKey_.resize(length);
    cryptedKey_.resize(qMax(0, stream.readRawData(cryptedKey_.data(), length)));
    return stream;
}

} // namespace ZRV::Stream::FileContainer::V2
