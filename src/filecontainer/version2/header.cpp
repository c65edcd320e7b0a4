#include "filecontainer/version2/header.h"

#include "filecontainer/version2/compressioninfo.h"

using ZRV::Core::Encryption::Algorithm;
using ZRV::Core::Encryption::NoEncryption;

namespace ZRV::Stream::FileContainer::V2 {

Header::Header(const QByteArray& password)
    : V1::Header(2, password)
    , reserved64_(0)
{
    setRecords(newEncryptionInfo(), nullptr, 0);
}

Header::Header(Algorithm algorithm, const QByteArray& salt, bool useCompression, unsigned long long fileSize,
               const QByteArray& password)
    : V1::Header(2, password)
    , reserved64_(0)
{
    setRecords(algorithm == NoEncryption ? nullptr : std::make_unique<EncryptionInfo>(algorithm, password, salt),
               useCompression ? std::make_unique<CompressionInfo>() : nullptr, fileSize);
}

Header::~Header() = default;

std::unique_ptr<V1::EncryptionInfo> Header::newEncryptionInfo() const
{
    return std::make_unique<EncryptionInfo>(NoEncryption, password_, QByteArray());
}

EncryptionInfo* Header::encryptionInfo() const
{
    return static_cast<EncryptionInfo*>(V1::Header::encryptionInfo());
}

int Header::getSize() const
{
    return V1::Header::getSize() + 8;
}

QByteArray Header::byteArray() const
{
    QByteArray bytes;
    QDataStream stream(&bytes, QIODevice::WriteOnly);
    stream << *this;
    return bytes;
}

bool Header::operator==(const Header& other) const
{
    return V1::Header::operator==(other) && reserved64_ == other.reserved64_;
}

bool Header::operator!=(const Header& other) const
{
    return !(*this == other);
}

QDataStream& operator<<(QDataStream& stream, const Header& header)
{
    stream << static_cast<const V1::Header&>(header);
    return stream << header.reserved64_;
}

QDataStream& operator>>(QDataStream& stream, Header& header)
{
    stream >> static_cast<V1::Header&>(header);
    return stream >> header.reserved64_;
}

} // namespace ZRV::Stream::FileContainer::V2
