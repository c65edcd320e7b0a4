#include "filecontainer/version1/header.h"

#include "core/exception/invaliddata.h"
#include "filecontainer/version1/compressioninfo.h"
#include "filecontainer/version1/encryptioninfo.h"

#include <QObject>
#include <cstring>

using ZRV::Core::Encryption::Algorithm;
using ZRV::Core::Encryption::NoEncryption;

namespace ZRV::Stream::FileContainer::V1 {

const char* const Header::Signature = "VarnolitexData  ";
const qint32 Header::SignatureSize = 16;
const qint32 Header::DataCompressed = 2;
const qint32 Header::DataEncrypted = 4;

Header::Header(const QByteArray& password)
    : Header(1, password)
{
    encryption_ = newEncryptionInfo();
}

Header::Header(Algorithm algorithm, const QByteArray& salt, bool useCompression, unsigned long long fileSize,
               const QByteArray& password)
    : Header(password)
{
    setRecords(algorithm == NoEncryption ? nullptr : std::make_unique<EncryptionInfo>(algorithm, password, salt),
               useCompression ? std::make_unique<CompressionInfo>() : nullptr, fileSize);
}

Header::Header(qint32 version, const QByteArray& password)
    : password_(password)
    , version_(version)
    , reserved_(0)
    , fileSize_(0)
{
}

Header::~Header() = default;

void Header::setRecords(std::unique_ptr<EncryptionInfo> encryption, std::unique_ptr<CompressionInfo> compression,
                        unsigned long long fileSize)
{
    encryption_ = std::move(encryption);
    compression_ = std::move(compression);
    fileSize_ = fileSize;
}

std::unique_ptr<EncryptionInfo> Header::newEncryptionInfo() const
{
    return std::make_unique<EncryptionInfo>(NoEncryption, password_, QByteArray());
}

const CompressionInfo* Header::compressionInfo() const
{
    return compression_.get();
}

EncryptionInfo* Header::encryptionInfo() const
{
    return encryption_.get();
}

unsigned long long Header::fileSize() const
{
    return fileSize_;
}

int Header::getSize() const
{
    return 36 + (compression_ ? compression_->getSize() : 0) + (encryption_ ? encryption_->getSize() : 0);
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
    const bool sameCompression = compression_ && other.compression_ ? *compression_ == *other.compression_
                                                                    : !compression_ && !other.compression_;
    const bool sameEncryption =
        encryption_ && other.encryption_ ? *encryption_ == *other.encryption_ : !encryption_ && !other.encryption_;
    return version_ == other.version_ && reserved_ == other.reserved_ && fileSize_ == other.fileSize_ && sameCompression
        && sameEncryption;
}

bool Header::operator!=(const Header& other) const
{
    return !(*this == other);
}

QDataStream& operator<<(QDataStream& stream, const Header& header)
{
    stream.setByteOrder(QDataStream::LittleEndian);
    const qint32 flags =
        (header.compression_ ? Header::DataCompressed : 0) | (header.encryption_ ? Header::DataEncrypted : 0);
    stream.writeRawData(Header::Signature, Header::SignatureSize);
    stream << header.version_ << flags << header.reserved_ << qint64(header.fileSize_);
    if (header.compression_)
        stream << *header.compression_;
    if (header.encryption_)
        *header.encryption_ >> stream;
    return stream;
}

QDataStream& operator>>(QDataStream& stream, Header& header)
{
    stream.setByteOrder(QDataStream::LittleEndian);
    char signature[16] = {};
    stream.readRawData(signature, Header::SignatureSize);
    if (std::memcmp(signature, Header::Signature, Header::SignatureSize) != 0)
        throw ZRV::Exception::InvalidData(QObject::tr("CryptoContainerV1Header Signatures not equal"));

    qint32 version = 0;
    stream >> version;
    if (version != header.version_)
        throw ZRV::Exception::InvalidData(QObject::tr("Unknown header version %1. Last known version is a %2")
                                              .arg(quint32(version))
                                              .arg(header.version_));

    qint32 flags = 0;
    qint64 fileSize = 0;
    stream >> flags >> header.reserved_ >> fileSize;
    header.fileSize_ = quint64(fileSize);
    header.compression_.reset();
    if (flags & Header::DataCompressed) {
        header.compression_ = std::make_unique<CompressionInfo>();
        stream >> *header.compression_;
    }
    if (flags & Header::DataEncrypted) {
        if (!header.encryption_)
            header.encryption_ = header.newEncryptionInfo();
        *header.encryption_ << stream;
    } else {
        header.encryption_.reset();
    }
    return stream;
}

} // namespace ZRV::Stream::FileContainer::V1
