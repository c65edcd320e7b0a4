#pragma once

#include "filecontainer/version1/encryptioninfo.h"
#include "zrvstreams_export.h"

namespace ZRV::Stream::FileContainer::V2 {

// The version 1 record followed by the wrapped payload keys (payload encryption key, then
// payload HMAC key, encrypted under the master key). Their length is not stored: the reader
// computes it with getKeyLength. Key derivation records Key::ITERATION_ADVANCED.
class ZRVSTREAMS_EXPORT EncryptionInfo : public V1::EncryptionInfo
{
public:
    explicit EncryptionInfo(const QByteArray& password);
    EncryptionInfo(ZRV::Core::Encryption::Algorithm algorithm, const QByteArray& password, const QByteArray& salt);
    ~EncryptionInfo() override;

    const QByteArray& cryptedKey() const;
    void setCryptedKey(const QByteArray& cryptedKey);

    // 0 without a cipher: a version 2 header announces no such record.
    int getSize() const override;
    using V1::EncryptionInfo::operator==;
    QDataStream& operator>>(QDataStream& stream) const override;
    // Also refuses type byte 0, which the version 2 format never writes.
    QDataStream& operator<<(QDataStream& stream) override;
    // The version 1 comparison and equal wrapped keys.
    virtual bool operator==(const EncryptionInfo& other) const;

private:
    QByteArray cryptedKey_;
};

} // namespace ZRV::Stream::FileContainer::V2
