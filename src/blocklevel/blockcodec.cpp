#include "blocklevel/blockcodec.h"

#include "compression/compressionstream.h"
#include "compression/decompressionstream.h"
#include "core/encryption/key.h"
#include "encryption/keyderivation.h"
#include "encryption/passwordbasedmasterkeyencryptor.h"
#include "encryption/sealedblock.h"
#include "stream/exception/erroroperation.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QObject>
#include <cryptopp/hmac.h>
#include <cryptopp/sha.h>

namespace ZRV::Stream::BlockLevel {

namespace Compression = ZRV::Core::Compression;
namespace Encryption = ZRV::Core::Encryption;
using ZRV::Encryption::KeyDerivation;
using ZRV::Encryption::SealedBlock;
using ZRV::Stream::Exception::ErrorOperation;

namespace {

constexpr int AuthenticatedMasterKeyLength = 32;

QSharedPointer<QIODevice> openBuffer(const QByteArray& bytes)
{
    auto buffer = QSharedPointer<QBuffer>::create();
    buffer->setData(bytes);
    buffer->open(QIODevice::ReadOnly);
    return buffer;
}

// Reads until the device ends or more than limit bytes came.
QByteArray readAtMost(QIODevice& device, qint64 limit)
{
    QByteArray result(int(limit + 1), Qt::Uninitialized);
    qint64 filled = 0;
    while (filled <= limit) {
        const qint64 count = device.read(result.data() + filled, limit + 1 - filled);
        if (count <= 0)
            break;
        filled += count;
    }
    result.resize(int(filled));
    return result;
}

// The sealer of a version 5 master key: AES-256 under keys from the password key.
SealedBlock masterKeySealer(const RepositoryKeys& keys)
{
    const QByteArray wrapping = KeyDerivation::subkey(keys.passwordKey, KeyDerivation::MasterKeyLabel);
    return SealedBlock(Encryption::Aes256, KeyDerivation::subkey(wrapping, KeyDerivation::WrapEncryptionLabel),
                       KeyDerivation::subkey(wrapping, KeyDerivation::WrapMacLabel));
}

Encryption::Algorithm wrappingAlgorithm(const MapStream::Header& header)
{
    return header.useHeaderEncryptionAes256() ? Encryption::Aes256 : header.encryptionAlgorithm();
}

} // namespace

BlockCodec::BlockCodec()
    : BlockCodec(MapStream::Header())
{
}

BlockCodec::BlockCodec(const MapStream::Header& header)
    : compression_(header.compressionAlgorith())
    , encryption_(header.encryptionAlgorithm())
    , authenticated_(header.version() == MapStream::Header::AuthenticatedVersion)
{
}

BlockCodec::Unlock BlockCodec::unlock(const MapStream::Header& header, const QByteArray& password,
                                      const RepositoryKeys& keys)
{
    errorString_.clear();
    QByteArray masterKey;
    int expectedLength = Encryption::Key::length(encryption_);
    if (authenticated_) {
        const SealedBlock sealer = masterKeySealer(keys);
        masterKey = sealer.open(header.keyPadding()).value_or(QByteArray());
        errorString_ = sealer.tagRefused() ? QObject::tr("The repository key does not open the map's master key")
                                           : sealer.errorString();
        expectedLength = AuthenticatedMasterKeyLength;
    } else {
        const ZRV::Encryption::PasswordBasedMasterKeyEncryptor encryptor(wrappingAlgorithm(header), password);
        masterKey = encryptor.fromStream(header.keyPadding());
        errorString_ = encryptor.errorString();
    }
    if (masterKey.isEmpty()) {
        if (errorString_.isEmpty())
            errorString_ = QObject::tr("Error on init master password");
        return Unlock::Refused;
    }
    errorString_.clear();
    if (masterKey.size() != expectedLength) {
        errorString_ = QObject::tr("Master key does not fit the map's cipher");
        return Unlock::KeyDoesNotFit;
    }
    setMasterKey(masterKey);
    return Unlock::Opened;
}

QByteArray BlockCodec::createKey(const QByteArray& password, const RepositoryKeys& keys)
{
    errorString_.clear();
    QByteArray keyPadding;
    if (authenticated_) {
        const QByteArray masterKey = Encryption::Key::randomKey(Encryption::Aes256);
        const SealedBlock sealer = masterKeySealer(keys);
        keyPadding = sealer.seal(masterKey).value_or(QByteArray());
        setMasterKey(masterKey);
    } else {
        const QByteArray masterKey = Encryption::Key::randomKey(encryption_);
        keyPadding = ZRV::Encryption::PasswordBasedMasterKeyEncryptor(encryption_, password).toStream(masterKey);
        setMasterKey(masterKey);
    }
    if (keyPadding.isEmpty())
        errorString_ = QObject::tr("Error in init master key");
    return keyPadding;
}

void BlockCodec::adoptKey(const BlockCodec& other)
{
    blockKey_ = other.blockKey_;
    macKey_ = other.macKey_;
    hashKey_ = other.hashKey_;
    mapKey_ = other.mapKey_;
}

void BlockCodec::setMasterKey(const QByteArray& masterKey)
{
    if (authenticated_) {
        blockKey_ = KeyDerivation::subkey(masterKey, KeyDerivation::BlockEncryptionLabel)
                        .left(Encryption::Key::length(encryption_));
        macKey_ = KeyDerivation::subkey(masterKey, KeyDerivation::BlockMacLabel);
        hashKey_ = KeyDerivation::subkey(masterKey, KeyDerivation::BlockHashLabel);
        mapKey_ = KeyDerivation::subkey(masterKey, KeyDerivation::MapMacLabel);
    } else {
        blockKey_ = masterKey;
        macKey_ = QCryptographicHash::hash(masterKey, QCryptographicHash::Sha256);
    }
}

bool BlockCodec::isEncrypted() const
{
    return encryption_ != Encryption::NoEncryption;
}

bool BlockCodec::isAuthenticated() const
{
    return authenticated_;
}

const QByteArray& BlockCodec::mapKey() const
{
    return mapKey_;
}

const QString& BlockCodec::errorString() const
{
    return errorString_;
}

QByteArray BlockCodec::encode(const QByteArray& block) const
{
    QByteArray result = block;
    if (compression_ != Compression::None) {
        CompressionStream compressor(openBuffer(result), compression_, nullptr);
        compressor.open(QIODevice::ReadOnly);
        result = compressor.readAll();
        if (!compressor.isOpen())
            throw ErrorOperation(compressor.errorString());
    }
    if (isEncrypted()) {
        const SealedBlock sealer(encryption_, blockKey_, macKey_);
        const std::optional<QByteArray> sealed = sealer.seal(result);
        if (!sealed)
            throw ErrorOperation(sealer.errorString());
        result = *sealed;
    }
    return result;
}

QByteArray BlockCodec::decode(const QByteArray& stored, qint64 maxSize) const
{
    QByteArray result = stored;
    if (isEncrypted()) {
        if (result.size() < Encryption::Key::ivLength(encryption_) + SealedBlock::TagLength)
            throw ErrorOperation(QObject::tr("Stored block is too short"));
        const SealedBlock sealed(encryption_, blockKey_, macKey_);
        const std::optional<QByteArray> plain = sealed.open(result);
        if (!plain)
            throw ErrorOperation(sealed.tagRefused() ? QObject::tr("Error validate block hmac") : sealed.errorString());
        result = *plain;
    }
    if (compression_ != Compression::None) {
        DecompressionStream decompressor(openBuffer(result), compression_, nullptr);
        decompressor.open(QIODevice::ReadOnly);
        result = readAtMost(decompressor, maxSize);
        if (!decompressor.isOpen())
            throw ErrorOperation(decompressor.errorString());
    }
    return result;
}

QByteArray BlockCodec::blockHash(const QByteArray& block) const
{
    if (!authenticated_)
        return QCryptographicHash::hash(block, QCryptographicHash::Md5);
    CryptoPP::HMAC<CryptoPP::SHA256> mac(reinterpret_cast<const CryptoPP::byte*>(hashKey_.constData()),
                                         size_t(hashKey_.size()));
    mac.Update(reinterpret_cast<const CryptoPP::byte*>(block.constData()), size_t(block.size()));
    CryptoPP::byte digest[CryptoPP::SHA256::DIGESTSIZE];
    mac.Final(digest);
    return QByteArray(reinterpret_cast<const char*>(digest), MapStream::Data::HashSize);
}

} // namespace ZRV::Stream::BlockLevel
