#pragma once

#include "core/encryption/algorithm.h"
#include "zrvstreams_export.h"

#include <QByteArray>
#include <QDataStream>

#include <memory>

namespace ZRV::Stream::FileContainer::V1 {

class CompressionInfo;
class EncryptionInfo;

// The version 1 container header: signature, version, flags, reserved word, data size, then the
// optional compression and encryption records. The header owns its records.
class ZRVSTREAMS_EXPORT Header
{
public:
    static const char* const Signature;
    static const qint32 SignatureSize;
    static const qint32 DataCompressed;
    static const qint32 DataEncrypted;

    // A header to read into: no compression, an encryption record without cipher that carries
    // the password.
    explicit Header(const QByteArray& password);
    // A header for a new container; NoEncryption leaves out the encryption record.
    Header(ZRV::Core::Encryption::Algorithm algorithm, const QByteArray& salt, bool useCompression,
           unsigned long long fileSize, const QByteArray& password);
    virtual ~Header();
    Header(const Header&) = delete;
    Header& operator=(const Header&) = delete;

    const CompressionInfo* compressionInfo() const;
    EncryptionInfo* encryptionInfo() const;
    unsigned long long fileSize() const;

    // Bytes the header takes in a container.
    virtual int getSize() const;
    // The header's bytes, as the stream writer produces them.
    virtual QByteArray byteArray() const;

    // The records compare by their written fields; the encryption records by the version 1 fields.
    bool operator==(const Header& other) const;
    bool operator!=(const Header& other) const;

protected:
    // A header of the given version without records.
    Header(qint32 version, const QByteArray& password);
    // The encryption record of this header's version, to read a record into that the header lacks.
    virtual std::unique_ptr<EncryptionInfo> newEncryptionInfo() const;

    // Replaces both records (either may be null) and the data size.
    void setRecords(std::unique_ptr<EncryptionInfo> encryption, std::unique_ptr<CompressionInfo> compression,
                    unsigned long long fileSize);

    const QByteArray password_;

private:
    friend QDataStream& operator<<(QDataStream& stream, const Header& header);
    friend QDataStream& operator>>(QDataStream& stream, Header& header);

    qint32 version_;
    qint32 reserved_;
    unsigned long long fileSize_;
    std::unique_ptr<CompressionInfo> compression_;
    std::unique_ptr<EncryptionInfo> encryption_;
};

ZRVSTREAMS_EXPORT QDataStream& operator<<(QDataStream& stream, const Header& header);
// Throws ZRV::Exception::InvalidData for a wrong signature, a version other than the header
// object's own, and the records' errors. The records follow the flags: an announced record is
// read (created, of the header's version, if the header has none), an unannounced one removed.
// A stream that ends early is not an error here: the stream's status reports it.
ZRVSTREAMS_EXPORT QDataStream& operator>>(QDataStream& stream, Header& header);

} // namespace ZRV::Stream::FileContainer::V1
