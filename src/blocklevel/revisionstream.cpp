#include "blocklevel/revisionstream.h"

#include "compression/decompressionstream.h"
#include "core/encryption/key.h"
#include "core/exception/invaliddata.h"
#include "core/zrvdebug.h"
#include "encryption/decryptionstream.h"
#include "encryption/hmacing/outstream.h"
#include "encryption/passwordbasedmasterkeyencryptor.h"
#include "stream/exception/erroroperation.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QDataStream>

#include <algorithm>
#include <limits>

namespace ZRV::Stream::BlockLevel {

namespace Compression = ZRV::Core::Compression;
namespace Encryption = ZRV::Core::Encryption;
using ZRV::Stream::Exception::ErrorOperation;

namespace {

constexpr int TagSize = 32;

QSharedPointer<QIODevice> openBuffer(const QByteArray& bytes)
{
    auto buffer = QSharedPointer<QBuffer>::create();
    buffer->setData(bytes);
    buffer->open(QIODevice::ReadOnly);
    return buffer;
}

// Reads until the device ends or more than limit bytes came, so a hostile block cannot
// decompress to more than one block and a byte.
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

// Stored blocks are at most this long: compression overhead, IV, cipher padding and tag
// included, with a wide margin.
unsigned long long maxStoredLength(unsigned long long blockSize)
{
    return blockSize + blockSize / 64 + 1024;
}

Encryption::Algorithm wrappingAlgorithm(const MapStream::Header& header)
{
    return header.useHeaderEncryptionAes256() ? Encryption::Aes256 : header.encryptionAlgorithm();
}

} // namespace

RevisionStream::RevisionStream(QSharedPointer<MapStream> map,
                               const QMap<unsigned int, QSharedPointer<QIODevice>>& revisions,
                               const QByteArray& password, QObject* parent)
    : IStreamRead(std::move(map), parent)
    , password_(password)
    , revisions_(revisions)
{
}

RevisionStream::~RevisionStream() = default;

bool RevisionStream::isSequential() const
{
    return true;
}

bool RevisionStream::open(OpenMode mode)
{
    auto* map = qobject_cast<MapStream*>(source_.data());
    if (!map)
        return false;
    try {
        // A map opened earlier (to list its revisions or check a password) starts again at
        // its first record.
        if (map->isOpen() && !map->reset()) {
            setErrorString(tr("Error on rewind map"));
            return false;
        }
        if (!IStreamRead::open(mode))
            return false;
    } catch (const ZRV::Exception::InvalidData& error) {
        ZrvDebug("TXK").error() << "on open BL revision stream, message:" << error.message();
        setErrorString(error.message());
        return false;
    }
    header_ = map->header();
    position_ = 0;
    blockIndex_ = 0;
    pendingOutput_.clear();
    if (!map->useEncryption())
        return true;

    const ZRV::Encryption::PasswordBasedMasterKeyEncryptor encryptor(wrappingAlgorithm(*header_), password_);
    masterKey_ = encryptor.fromStream(header_->keyPadding());
    QString failure = encryptor.errorString();
    if (!masterKey_.isEmpty() && quint16(masterKey_.size()) != Encryption::Key::length(header_->encryptionAlgorithm()))
        failure = tr("Master key does not fit the map's cipher");
    else if (!masterKey_.isEmpty())
        failure.clear();
    else if (failure.isEmpty())
        failure = tr("Error on init master password");
    if (!failure.isEmpty()) {
        ZrvDebug("TXK").error() << failure;
        setErrorString(failure);
        masterKey_.clear();
        IStream::close();
        return false;
    }
    integrityKey_ = QCryptographicHash::hash(masterKey_, QCryptographicHash::Sha256);
    return true;
}

qint64 RevisionStream::pos() const
{
    return qint64(position_);
}

qint64 RevisionStream::size() const
{
    return header_ ? qint64(header_->length()) : 0;
}

bool RevisionStream::seek(qint64)
{
    return false;
}

bool RevisionStream::atEnd() const
{
    if (!header_ || !isOpen())
        return true;
    if (position_ < header_->length() && blockIndex_ < header_->blockCount())
        return false;
    return pendingOutput_.isEmpty() && QIODevice::bytesAvailable() == 0;
}

bool RevisionStream::reset()
{
    if (!isSourceOpen())
        return false;
    position_ = 0;
    blockIndex_ = 0;
    pendingOutput_.clear();
    try {
        return source_->reset();
    } catch (const ZRV::Exception::InvalidData& error) {
        setErrorString(error.message());
        return false;
    }
}

qint64 RevisionStream::readData(char* data, qint64 maxSize)
{
    return guardedRead([&] {
        if (pendingOutput_.size() < maxSize) {
            const unsigned long long target = targetBlockCount(maxSize);
            QDataStream map(source_.data());
            while (hasMoreBlocks(target)) {
                const MapStream::Data record = nextRecord(map);
                if (!record.isUsed()) {
                    appendUnused(0);
                    continue;
                }
                QIODevice& device = revisionDevice(record.revision());
                if (!device.seek(qint64(record.offset())))
                    throw ErrorOperation(tr("Data of revision %1 has no offset %2")
                                             .arg(record.revision())
                                             .arg(record.offset()));
                appendDecoded(readStored(device, record), record);
            }
        }
        return deliver(data, maxSize);
    });
}

QByteArray RevisionStream::modificationBlock(const QByteArray& storedBlock)
{
    QByteArray result = storedBlock;
    const Encryption::Algorithm encryption = header_->encryptionAlgorithm();
    if (encryption != Encryption::NoEncryption) {
        const int ivLength = Encryption::Key::ivLength(encryption);
        if (result.size() < ivLength + TagSize)
            throw ErrorOperation(tr("Stored block is too short"));
        const QByteArray iv = result.left(ivLength);
        auto checker = QSharedPointer<Hmacing::OutStream>::create(openBuffer(result.mid(ivLength)), integrityKey_,
                                                                  nullptr);
        checker->open(ReadOnly);
        checker->addData(iv);
        auto decryptor = QSharedPointer<DecryptionStream>::create(checker, encryption, masterKey_, iv,
                                                                  Encryption::AllData, nullptr);
        if (!decryptor->open(ReadOnly)) {
            ZrvDebug("TXK").error() << "Error on init decrypt BL block";
            throw ErrorOperation(tr("Error on init decryption stream"));
        }
        result = decryptor->readAll();
        if (result.isEmpty() && !decryptor->isOpen()) {
            ZrvDebug("TXK").error() << "Error on decrypt BL block:" << decryptor->errorString();
            throw ErrorOperation(decryptor->errorString());
        }
        if (!checker->validate()) {
            ZrvDebug("TXK").error() << "Error on validate block hmac";
            throw ErrorOperation(tr("Error validate block hmac"));
        }
    }
    const Compression::Algorithm compression = header_->compressionAlgorith();
    if (compression != Compression::None) {
        DecompressionStream decompressor(openBuffer(result), compression, nullptr);
        decompressor.open(ReadOnly);
        result = readAtMost(decompressor, header_->blockSize());
        if (!decompressor.isOpen())
            throw ErrorOperation(decompressor.errorString());
    }
    return result;
}

QPair<bool, QString> RevisionStream::checkPassword(QSharedPointer<MapStream> map, const QByteArray& password)
{
    if (!map->useEncryption())
        return {true, QString()};
    const ZRV::Encryption::PasswordBasedMasterKeyEncryptor encryptor(wrappingAlgorithm(*map->header()), password);
    if (!encryptor.fromStream(map->keyPadding()).isEmpty())
        return {true, QString()};
    return {false, encryptor.errorString()};
}

qint64 RevisionStream::guardedRead(const std::function<qint64()>& read)
{
    try {
        return read();
    } catch (const ErrorOperation& error) {
        ZrvDebug("TXK").error() << "BL revision stream error, message:" << error.message();
        setErrorString(error.message());
        throw;
    }
}

unsigned long long RevisionStream::targetBlockCount(qint64 maxSize) const
{
    const unsigned long long blockSize = header_->blockSize();
    unsigned long long wanted = position_ + (unsigned long long)(maxSize);
    if (wanted < position_)
        wanted = std::numeric_limits<unsigned long long>::max();
    return wanted / blockSize + (wanted % blockSize != 0 ? 1 : 0);
}

bool RevisionStream::hasMoreBlocks(unsigned long long target) const
{
    return blockIndex_ < target && blockIndex_ < header_->blockCount();
}

MapStream::Data RevisionStream::nextRecord(QDataStream& map)
{
    MapStream::Data record;
    map >> record;
    if (map.status() != QDataStream::Ok)
        throw ErrorOperation(tr("Map ends before record %1").arg(blockIndex_));
    if (record.isUsed() && record.length() > maxStoredLength(header_->blockSize()))
        throw ErrorOperation(tr("Record %1 is longer than a stored block can be").arg(blockIndex_));
    // Writers give unused blocks an all-zero hash. Without this check a used flag cleared by damage
    // would restore its block as zeros, with no hash left to notice.
    static const QByteArray unusedHash(MapStream::Data::HashSize, '\0');
    if (!record.isUsed() && record.hash() != unusedHash)
        throw ErrorOperation(tr("Record %1 is marked unused but carries a block hash").arg(blockIndex_));
    return record;
}

QIODevice& RevisionStream::revisionDevice(unsigned int revision)
{
    const QSharedPointer<QIODevice> device = revisions_.value(revision);
    if (!device)
        throw ErrorOperation(tr("No data stream for revision %1").arg(revision));
    if (!device->isOpen() && !device->open(ReadOnly)) {
        ZrvDebug("TXK").error() << "error on open revision data stream!:" << revision << "message:"
                                << device->errorString();
        throw ErrorOperation(device->errorString());
    }
    return *device;
}

QByteArray RevisionStream::readStored(QIODevice& device, const MapStream::Data& record)
{
    QByteArray stored(int(record.length()), Qt::Uninitialized);
    qint64 filled = 0;
    while (filled < stored.size()) {
        const qint64 count = device.read(stored.data() + filled, stored.size() - filled);
        if (count <= 0)
            throw ErrorOperation(
                tr("Data of revision %1 ends inside block %2").arg(record.revision()).arg(blockIndex_));
        filled += count;
    }
    return stored;
}

unsigned long long RevisionStream::expectedBlockSize() const
{
    const unsigned long long blockSize = header_->blockSize();
    return std::min(blockSize, header_->length() - blockIndex_ * blockSize);
}

void RevisionStream::appendDecoded(const QByteArray& storedBlock, const MapStream::Data& record)
{
    const QByteArray plain = modificationBlock(storedBlock);
    if ((unsigned long long)(plain.size()) != expectedBlockSize())
        throw ErrorOperation(tr("Block %1 decodes to %2 bytes instead of %3")
                                 .arg(blockIndex_)
                                 .arg(plain.size())
                                 .arg(expectedBlockSize()));
    if (QCryptographicHash::hash(plain, QCryptographicHash::Md5) != record.hash())
        throw ErrorOperation(tr("Block %1 does not match its hash").arg(blockIndex_));
    pendingOutput_.append(plain);
    ++blockIndex_;
}

void RevisionStream::appendUnused(unsigned long long zeroCount)
{
    const unsigned long long blockSize = header_->blockSize();
    const unsigned long long expected = expectedBlockSize();
    const unsigned long long zeros = zeroCount != 0 ? zeroCount : blockSize;
    // Only the last block may be cut, at the map's length.
    if (zeros < expected || zeros > blockSize)
        throw ErrorOperation(
            tr("Unused block %1 has length %2 instead of %3").arg(blockIndex_).arg(zeros).arg(expected));
    pendingOutput_.append(QByteArray(int(expected), '\0'));
    ++blockIndex_;
}

qint64 RevisionStream::deliver(char* data, qint64 maxSize)
{
    const qint64 count = pendingOutput_.take(data, maxSize);
    position_ += count;
    return count;
}

} // namespace ZRV::Stream::BlockLevel
