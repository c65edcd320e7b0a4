#include "blocklevel/mapstreamheader.h"

#include "core/exception/invaliddata.h"
#include "core/zrvdebug.h"

#include <QObject>

namespace ZRV::Stream::BlockLevel {

using ZRV::Core::Compression::Algorithm;
namespace Encryption = ZRV::Core::Encryption;

namespace {

constexpr quint16 HeaderSizeFrom2 = 542;
constexpr quint16 HeaderSizeBelow2 = 541;

unsigned long long blocksFor(quint64 length, quint64 blockSize)
{
    return length / blockSize + (length % blockSize != 0 ? 1 : 0);
}

} // namespace

int MapStream::Header::version() const
{
    return version_;
}

void MapStream::Header::setVersion(int version)
{
    version_ = version;
}

Algorithm MapStream::Header::compressionAlgorith() const
{
    if (compressionCode_ == ZRV::Core::Compression::Gzip || compressionCode_ == ZRV::Core::Compression::Lz4)
        return Algorithm(compressionCode_);
    return ZRV::Core::Compression::None;
}

void MapStream::Header::setCompressionAlgorithm(Algorithm algorithm)
{
    const bool recorded = algorithm == ZRV::Core::Compression::Gzip || algorithm == ZRV::Core::Compression::Lz4;
    compressionCode_ = recorded ? quint8(algorithm) : 0;
}

Encryption::Algorithm MapStream::Header::encryptionAlgorithm() const
{
    switch (encryptionCode_) {
    case 1:
        return Encryption::Aes128;
    case 2:
        return Encryption::Aes192;
    case 3:
        return Encryption::Aes256;
    default:
        return Encryption::NoEncryption;
    }
}

void MapStream::Header::setEncryptionAlgorithm(Encryption::Algorithm algorithm)
{
    switch (algorithm) {
    case Encryption::Aes256:
        encryptionCode_ = 3;
        break;
    case Encryption::Aes192:
        encryptionCode_ = 2;
        break;
    case Encryption::Aes128:
        encryptionCode_ = 1;
        break;
    default:
        encryptionCode_ = 0;
    }
    useHeaderEncryptionAes256_ = encryptionCode_ != 1 && encryptionCode_ != 2;
}

unsigned int MapStream::Header::hashAlgorithm() const
{
    return hashAlgorithm_;
}

unsigned int MapStream::Header::revision() const
{
    return revision_;
}

void MapStream::Header::setRevison(unsigned int revision)
{
    revision_ = revision;
}

void MapStream::Header::incrementrevision()
{
    ++revision_;
}

unsigned long long MapStream::Header::length() const
{
    return length_;
}

void MapStream::Header::addLengthByte(unsigned long long bytes)
{
    length_ += bytes;
}

unsigned int MapStream::Header::blockSize() const
{
    return blockSize_ == 0 ? DefaultBlockSize : blockSize_;
}

bool MapStream::Header::setBlockSize(unsigned int blockSize)
{
    blockSize_ = blockSize;
    return true;
}

QByteArray MapStream::Header::keyPadding() const
{
    return keyPadding_;
}

void MapStream::Header::setKeyPadding(const QByteArray& keyPadding)
{
    keyPadding_ = keyPadding;
}

unsigned int MapStream::Header::fullBackupType() const
{
    return fullBackupType_;
}

unsigned short MapStream::Header::headerSize() const
{
    return headerSize_;
}

unsigned long long MapStream::Header::blockCount() const
{
    return blockCount_;
}

void MapStream::Header::incrementBlock()
{
    ++blockCount_;
}

bool MapStream::Header::useHeaderEncryptionAes256() const
{
    return useHeaderEncryptionAes256_;
}

unsigned long long MapStream::Header::calculateBlockCount()
{
    blockCount_ = blocksFor(length_, blockSize());
    return blockCount_;
}

unsigned short MapStream::Header::calculateHeaderSize()
{
    headerSize_ = version_ > 1 ? HeaderSizeFrom2 : HeaderSizeBelow2;
    return headerSize_;
}

void MapStream::Header::init(const Header& other)
{
    blockSize_ = other.blockSize();
    compressionCode_ = other.compressionCode_;
    encryptionCode_ = other.encryptionCode_;
    fullBackupType_ = other.fullBackupType_;
    hashAlgorithm_ = other.hashAlgorithm_;
    keyPadding_ = other.keyPadding_;
    revision_ = other.revision_;
    version_ = other.version_;
    useHeaderEncryptionAes256_ = other.useHeaderEncryptionAes256_;
    calculateBlockCount();
    calculateHeaderSize();
}

bool MapStream::Header::storesKeyPadding() const
{
    return version_ >= 3 && encryptionCode_ != 0 && !keyPadding_.isEmpty();
}

QDataStream& operator<<(QDataStream& stream, const MapStream::Header& header)
{
    using Header = MapStream::Header;
    stream.setByteOrder(QDataStream::LittleEndian);
    if (header.storesKeyPadding() && header.keyPadding_.size() > Header::MaxKeyPaddingLength) {
        ZrvDebug("TXK").error() << "Map key padding too long:" << header.keyPadding_.size() << "bytes";
        stream.setStatus(QDataStream::WriteFailed);
        return stream;
    }
    stream.writeRawData(Header::Signature, Header::SignatureSize);
    stream << quint8(header.version_) << header.compressionCode_ << header.encryptionCode_;
    if (header.version_ >= 2)
        stream << header.hashAlgorithm_;
    stream << header.revision_ << header.length_ << header.blockSize_;
    if (header.version_ >= 3) {
        if (header.storesKeyPadding()) {
            const QByteArray padded = header.keyPadding_.leftJustified(Header::MaxKeyPaddingLength, '\0');
            stream << quint8(1) << qint32(header.keyPadding_.size());
            stream.writeRawData(padded.constData(), padded.size());
        } else {
            stream.writeRawData(QByteArray(Header::KeyPaddingSize, '\0').constData(), Header::KeyPaddingSize);
        }
    }
    if (header.version_ >= 4)
        stream << quint8(header.fullBackupType_);
    stream.writeRawData(QByteArray(Header::HeaderFreeSpace, '\0').constData(), Header::HeaderFreeSpace);
    return stream;
}

QDataStream& operator>>(QDataStream& stream, MapStream::Header& header)
{
    using Header = MapStream::Header;
    stream.setByteOrder(QDataStream::LittleEndian);

    QByteArray signature(Header::SignatureSize, '\0');
    stream.readRawData(signature.data(), signature.size());
    if (signature != QByteArray(Header::Signature))
        throw ZRV::Exception::InvalidData(QObject::tr("BitmapHeader Signatures not equal"));
    quint8 version = 0;
    stream >> version;
    if (version > Header::AuthenticatedVersion)
        throw ZRV::Exception::InvalidData(QObject::tr("Unknown header version %1. Last known version is a %2")
                                              .arg(version)
                                              .arg(Header::AuthenticatedVersion));

    // Decoded into a copy, so that a malformed header leaves the caller's header as it was.
    Header read = header;
    read.version_ = version;
    stream >> read.compressionCode_ >> read.encryptionCode_;
    if (version >= 2)
        stream >> read.hashAlgorithm_;
    stream >> read.revision_ >> read.length_ >> read.blockSize_;
    if (version >= 3) {
        if (read.encryptionCode_ != 0) {
            quint8 keyFlag = 0;
            qint32 keyLength = 0;
            stream >> keyFlag >> keyLength;
            if (keyLength < 0 || keyLength > Header::MaxKeyPaddingLength)
                throw ZRV::Exception::InvalidData(
                    QObject::tr("Map key padding length %1 is out of range").arg(keyLength));
            QByteArray keyArea(Header::MaxKeyPaddingLength, '\0');
            stream.readRawData(keyArea.data(), keyArea.size());
            read.keyPadding_ = keyArea.left(keyLength);
            if (read.encryptionCode_ == 1 || read.encryptionCode_ == 2)
                read.useHeaderEncryptionAes256_ = false;
        } else {
            read.keyPadding_ = QByteArray(Header::KeyPaddingSize, '\0');
            stream.readRawData(read.keyPadding_.data(), read.keyPadding_.size());
        }
        read.fullBackupType_ = 0;
        if (version >= 4) {
            quint8 fullBackupType = 0;
            stream >> fullBackupType;
            read.fullBackupType_ = fullBackupType;
        }
    } else {
        read.fullBackupType_ = 0;
    }
    QByteArray freeSpace(Header::HeaderFreeSpace, '\0');
    stream.readRawData(freeSpace.data(), freeSpace.size());
    if (stream.status() != QDataStream::Ok)
        throw ZRV::Exception::InvalidData(QObject::tr("Map header is truncated"));
    if (read.blockSize() > Header::MaxBlockSize)
        throw ZRV::Exception::InvalidData(QObject::tr("Map block size %1 is out of range").arg(read.blockSize_));

    read.headerSize_ = version >= 2 ? HeaderSizeFrom2 : HeaderSizeBelow2;
    read.calculateBlockCount();
    header = read;
    return stream;
}

} // namespace ZRV::Stream::BlockLevel
