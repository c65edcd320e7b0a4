#pragma once

#include "core/encryption/algorithm.h"
#include "zrvstreams_export.h"

#include <QByteArray>
#include <QDataStream>

namespace ZRV::Stream::FileContainer::V1 {

// The encryption record of a container header: cipher family, key bits and the key-derivation
// parameters (iteration count, salt). The password itself is never written; the master key is
// derived from it and the stored parameters.
//
// The member operators are named from the record's side: `info >> stream` writes the record,
// `info << stream` reads it. Readers throw ZRV::Exception::InvalidData for an unknown type or
// mode byte or an iteration count above 10 000 000, and leave the record as far as it was read.
class ZRVSTREAMS_EXPORT EncryptionInfo
{
public:
    static const quint8 EncryptionMode;
    static const quint8 EncryptionPadding;

    // No encryption; the reader's starting point, carrying the password.
    explicit EncryptionInfo(const QByteArray& password);
    // A record for a new container: key bits of the cipher, Key::ITERATION_SIMPLE iterations.
    EncryptionInfo(ZRV::Core::Encryption::Algorithm algorithm, const QByteArray& password, const QByteArray& salt);
    virtual ~EncryptionInfo();

    ZRV::Core::Encryption::Algorithm algorythm() const;
    int kdfIteration() const;
    QByteArray kdfSalt() const;
    // Derived once from password, salt and iteration count, then cached.
    const QByteArray& masterKey();

    // Bytes the record takes in a header.
    virtual int getSize() const;
    // Compares the written fields; the password plays no part.
    virtual bool operator==(const EncryptionInfo& other) const;
    bool operator!=(const EncryptionInfo& other) const;
    virtual QDataStream& operator>>(QDataStream& stream) const;
    virtual QDataStream& operator<<(QDataStream& stream);

    // Length of the wrapped payload keys that a version 2 record carries: L × (1 + ⌊2 × keyBits / 8L⌋)
    // with L the cipher's key bytes. Throws InvalidData when the record names no cipher.
    static int getKeyLength(const EncryptionInfo& info);
    // The type byte names a cipher family only; the key bits pick the cipher within it.
    static void correctedAlgorithm(EncryptionInfo& info);

protected:
    QByteArray password_;
    QByteArray masterKey_;
    ZRV::Core::Encryption::Algorithm algorithm_;
    quint8 mode_;
    quint8 padding_;
    qint16 keyBits_;
    quint8 reservedByte_;
    qint32 kdfIteration_;
    QByteArray kdfSalt_;
};

} // namespace ZRV::Stream::FileContainer::V1
