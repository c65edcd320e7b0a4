#pragma once

#include "filecontainer/version1/header.h"
#include "filecontainer/version2/encryptioninfo.h"
#include "zrvstreams_export.h"

namespace ZRV::Stream::FileContainer::V2 {

// The version 2 container header: the version 1 layout with version 2 records, then a reserved
// 64-bit word. An encrypted container follows it with the header tag (HeaderValidate).
class ZRVSTREAMS_EXPORT Header : public V1::Header
{
public:
    explicit Header(const QByteArray& password);
    Header(ZRV::Core::Encryption::Algorithm algorithm, const QByteArray& salt, bool useCompression,
           unsigned long long fileSize, const QByteArray& password);
    ~Header() override;

    // The record is always of version 2.
    EncryptionInfo* encryptionInfo() const;

    int getSize() const override;
    QByteArray byteArray() const override;

    bool operator==(const Header& other) const;
    bool operator!=(const Header& other) const;

protected:
    std::unique_ptr<V1::EncryptionInfo> newEncryptionInfo() const override;

private:
    friend QDataStream& operator<<(QDataStream& stream, const Header& header);
    friend QDataStream& operator>>(QDataStream& stream, Header& header);

    qint64 reserved64_;
};

ZRVSTREAMS_EXPORT QDataStream& operator<<(QDataStream& stream, const Header& header);
// The version 1 reader's checks (the version must be 2), then the reserved word.
ZRVSTREAMS_EXPORT QDataStream& operator>>(QDataStream& stream, Header& header);

} // namespace ZRV::Stream::FileContainer::V2
