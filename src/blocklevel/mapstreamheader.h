#pragma once

#include "blocklevel/mapstream.h"
#include "zrvstreams_export.h"

#include <QByteArray>
#include <QDataStream>

namespace ZRV::Stream::BlockLevel {

// The header of a map. Encoded little-endian; the version decides which fields are present
// (542 bytes for versions 4 and 5, 541 for 3, 285 for 2, 284 for 0 and 1). Version 5 has the
// fields of version 4; only maps of an authenticated repository have it (see MapStream).
class ZRVSTREAMS_EXPORT MapStream::Header
{
public:
    static constexpr const char* Signature = "QVN_BITMAP";
    static constexpr qint32 SignatureSize = 10;
    static constexpr qint32 CurrentVersion = 4;
    static constexpr qint32 AuthenticatedVersion = 5;
    static constexpr quint16 KeyPaddingSize = 256;
    static constexpr quint16 HeaderFreeSpace = 255;
    static constexpr quint32 DefaultBlockSize = 131072;
    // Largest key padding the key area can hold after its flag and length fields.
    static constexpr int MaxKeyPaddingLength = 251;
    // Largest block size a reader accepts, so a hostile map cannot make readers or an
    // incremental run allocate gigabytes per block.
    static constexpr quint32 MaxBlockSize = 64 * 1024 * 1024;

    int version() const;
    void setVersion(int version);
    ZRV::Core::Compression::Algorithm compressionAlgorith() const;
    void setCompressionAlgorithm(ZRV::Core::Compression::Algorithm algorithm);
    ZRV::Core::Encryption::Algorithm encryptionAlgorithm() const;
    // Also decides useHeaderEncryptionAes256, as a reader of this header would: the key
    // padding is wrapped with the cipher that the header names.
    void setEncryptionAlgorithm(ZRV::Core::Encryption::Algorithm algorithm);
    unsigned int hashAlgorithm() const;
    unsigned int revision() const;
    void setRevison(unsigned int revision);
    void incrementrevision();
    unsigned long long length() const;
    void addLengthByte(unsigned long long bytes);
    // A stored block size of 0 means DefaultBlockSize.
    unsigned int blockSize() const;
    bool setBlockSize(unsigned int blockSize);
    QByteArray keyPadding() const;
    void setKeyPadding(const QByteArray& keyPadding);
    unsigned int fullBackupType() const;
    unsigned short headerSize() const;
    unsigned long long blockCount() const;
    void incrementBlock();
    bool useHeaderEncryptionAes256() const;

    unsigned long long calculateBlockCount();
    unsigned short calculateHeaderSize();
    // Takes over everything but the length from other, then recomputes block count and
    // header size for this header's own length.
    void init(const Header& other);

private:
    friend QDataStream& operator<<(QDataStream& stream, const Header& header);
    friend QDataStream& operator>>(QDataStream& stream, Header& header);

    // Whether the encoded key area carries the key padding rather than zero bytes.
    bool storesKeyPadding() const;

    qint32 version_ = CurrentVersion;
    quint8 compressionCode_ = 0;
    quint8 encryptionCode_ = 0;
    quint8 hashAlgorithm_ = 0;
    quint32 revision_ = 0;
    quint64 length_ = 0;
    quint32 blockSize_ = DefaultBlockSize;
    QByteArray keyPadding_;
    quint32 fullBackupType_ = 0;
    quint16 headerSize_ = 0;
    quint64 blockCount_ = 0;
    bool useHeaderEncryptionAes256_ = true;
};

// Refuses (status WriteFailed, nothing written, an error line) a key padding longer than
// MaxKeyPaddingLength in a header that stores it.
ZRVSTREAMS_EXPORT QDataStream& operator<<(QDataStream& stream, const MapStream::Header& header);
// Throws ZRV::Exception::InvalidData for a bad signature, a version above 5, a key padding
// length outside 0..251, a block size above MaxBlockSize or a truncated header; the header is
// left unchanged then.
ZRVSTREAMS_EXPORT QDataStream& operator>>(QDataStream& stream, MapStream::Header& header);

} // namespace ZRV::Stream::BlockLevel
