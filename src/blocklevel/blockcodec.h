#pragma once

#include "blocklevel/mapstream.h"
#include "blocklevel/repositorykeys.h"
#include "core/encryption/algorithm.h"

#include <QByteArray>
#include <QString>

namespace ZRV::Stream::BlockLevel {

// How the blocks of one map are stored and recognised, and the keys for it. A stored block is
// the block compressed with the map's algorithm, then, in an encrypted map, sealed
// (ZRV::Encryption::SealedBlock) under the block keys. Each record keeps a 16-byte hash of its
// plain block.
//
// Versions up to 4: the master key has the cipher's key length and is wrapped by a
// PasswordBasedMasterKeyEncryptor; it encrypts the blocks itself, SHA-256 of it keys their
// tags, and the block hash is MD5.
// Version 5: the master key is 32 random bytes, sealed with AES-256 under keys derived from the
// repository's password key; separate subkeys encrypt blocks (cut to the cipher's key length),
// key their tags, key the block hashes (first 16 bytes of HMAC-SHA-256) and key the map's MAC.
class BlockCodec
{
public:
    enum class Unlock { Opened, Refused, KeyDoesNotFit };

    // Neither compression nor encryption.
    BlockCodec();
    // A codec for the header's version, compression and cipher, without a key yet.
    explicit BlockCodec(const MapStream::Header& header);

    // Opens the header's key padding: with the password up to version 4, with keys for version
    // 5. Refused (the padding does not open: a wrong password or damage) and KeyDoesNotFit (the
    // key is not of the cipher's length) leave the reason in errorString().
    Unlock unlock(const MapStream::Header& header, const QByteArray& password, const RepositoryKeys& keys);
    // Makes a new master key and returns its key padding; empty, with errorString() set, when
    // it cannot be wrapped.
    QByteArray createKey(const QByteArray& password, const RepositoryKeys& keys);
    // Takes the key of a codec of the same chain (an incremental run keeps the chain's key).
    void adoptKey(const BlockCodec& other);

    bool isEncrypted() const;
    bool isAuthenticated() const;
    // The key of the map's MAC (version 5 only).
    const QByteArray& mapKey() const;
    const QString& errorString() const;

    // The stored form of a block. Throws ErrorOperation when a stage fails.
    QByteArray encode(const QByteArray& block) const;
    // The plain bytes of a stored block, at most maxSize and a byte (a hostile block cannot
    // decompress to more). Throws ErrorOperation: "Stored block is too short", "Error validate
    // block hmac", or the failing stage's error.
    QByteArray decode(const QByteArray& stored, qint64 maxSize) const;
    // The 16-byte hash that a record keeps of a plain block.
    QByteArray blockHash(const QByteArray& block) const;

private:
    void setMasterKey(const QByteArray& masterKey);

    ZRV::Core::Compression::Algorithm compression_;
    ZRV::Core::Encryption::Algorithm encryption_;
    bool authenticated_;
    QByteArray blockKey_;
    QByteArray macKey_;
    QByteArray hashKey_;
    QByteArray mapKey_;
    QString errorString_;
};

} // namespace ZRV::Stream::BlockLevel
