#include "blocklevel/revisionstream.h"

#include "blocklevel/blockcodec.h"
#include "blocklevel/pendingoutput.h"

#include "core/exception/invaliddata.h"
#include "core/zrvdebug.h"
#include "stream/exception/erroroperation.h"

#include <QDataStream>

#include <algorithm>
#include <limits>

namespace ZRV::Stream::BlockLevel {

using ZRV::Stream::Exception::ErrorOperation;

namespace {

// Stored blocks are at most this long: compression overhead, IV, cipher padding and tag
// included, with a wide margin.
unsigned long long maxStoredLength(unsigned long long blockSize)
{
    return blockSize + blockSize / 64 + 1024;
}

} // namespace

RevisionStream::RevisionStream(QSharedPointer<MapStream> map,
                               const QMap<unsigned int, QSharedPointer<QIODevice>>& revisions,
                               const QByteArray& password, QObject* parent)
    : IStreamRead(std::move(map), parent)
    , pendingOutput_(std::make_unique<PendingOutput>())
    , password_(password)
    , codec_(std::make_unique<BlockCodec>())
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
    pendingOutput_->clear();
    if (map->codec()) {
        *codec_ = *map->codec();
        return true;
    }
    *codec_ = BlockCodec(*header_);
    if (!map->useEncryption() || codec_->unlock(*header_, password_, RepositoryKeys()) == BlockCodec::Unlock::Opened)
        return true;
    ZrvDebug("TXK").error() << codec_->errorString();
    setErrorString(codec_->errorString());
    IStream::close();
    return false;
}

void RevisionStream::setRepositoryKeys(const RepositoryKeys& keys)
{
    if (auto* map = qobject_cast<MapStream*>(source_.data()))
        map->setRepositoryKeys(keys);
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
    return pendingOutput_->isEmpty() && QIODevice::bytesAvailable() == 0;
}

bool RevisionStream::reset()
{
    if (!isSourceOpen())
        return false;
    position_ = 0;
    blockIndex_ = 0;
    pendingOutput_->clear();
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
        if (pendingOutput_->size() < maxSize) {
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
                    throw ErrorOperation(
                        tr("Data of revision %1 has no offset %2").arg(record.revision()).arg(record.offset()));
                appendDecoded(readStored(device, record), record);
            }
        }
        return deliver(data, maxSize);
    });
}

QByteArray RevisionStream::modificationBlock(const QByteArray& storedBlock)
{
    return codec_->decode(storedBlock, header_->blockSize());
}

QPair<bool, QString> RevisionStream::checkPassword(QSharedPointer<MapStream> map, const QByteArray& password)
{
    if (!map->useEncryption())
        return {true, QString()};
    BlockCodec codec(*map->header());
    if (codec.unlock(*map->header(), password, RepositoryKeys()) != BlockCodec::Unlock::Refused)
        return {true, QString()};
    return {false, codec.errorString()};
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
        ZrvDebug("TXK").error() << "error on open revision data stream!:" << revision
                                << "message:" << device->errorString();
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
    if (codec_->blockHash(plain) != record.hash())
        throw ErrorOperation(tr("Block %1 does not match its hash").arg(blockIndex_));
    pendingOutput_->append(plain);
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
    pendingOutput_->append(QByteArray(int(expected), '\0'));
    ++blockIndex_;
}

qint64 RevisionStream::deliver(char* data, qint64 maxSize)
{
    const qint64 count = pendingOutput_->take(data, maxSize);
    position_ += count;
    return count;
}

} // namespace ZRV::Stream::BlockLevel
