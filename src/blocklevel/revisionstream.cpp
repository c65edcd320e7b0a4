#include "blocklevel/revisionstream.h"

#include "blocklevel/blockcodec.h"
#include "blocklevel/blockwork.h"
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
    // The jobs in flight of an earlier reading use the codec and the header.
    work_.reset();
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
    bool unlocked = true;
    if (map->codec()) {
        *codec_ = *map->codec();
    } else {
        *codec_ = BlockCodec(*header_);
        unlocked = !map->useEncryption()
            || codec_->unlock(*header_, password_, RepositoryKeys()) == BlockCodec::Unlock::Opened;
    }
    if (!unlocked) {
        ZrvDebug("TXK").error() << codec_->errorString();
        setErrorString(codec_->errorString());
        IStream::close();
        return false;
    }
    zeroBlock_ = QByteArray(int(header_->blockSize()), '\0');
    zeroBlockHash_ = codec_->blockHash(zeroBlock_);
    startReading();
    return true;
}

void RevisionStream::setWorkerCount(int workers)
{
    workers_ = std::max(workers, 1);
}

void RevisionStream::startReading()
{
    work_.reset();
    work_ = makeBlockWork<QByteArray>(workers_, header_->blockSize());
    position_ = 0;
    blockIndex_ = 0;
    submitted_ = 0;
    pendingOutput_->clear();
    failure_ = nullptr;
    submissionFailed_ = false;
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
    startReading();
    try {
        return source_->reset();
    } catch (const ZRV::Exception::InvalidData& error) {
        setErrorString(error.message());
        return false;
    }
}

qint64 RevisionStream::readData(char* data, qint64 maxSize)
{
    try {
        if (failure_ && pendingOutput_->isEmpty())
            std::rethrow_exception(failure_);
        const unsigned long long target = targetBlockCount(maxSize);
        while (!failure_ && blockIndex_ < target && blockIndex_ < header_->blockCount()) {
            submitBlocks(target);
            takeBlock();
        }
        return deliver(data, maxSize);
    } catch (const ErrorOperation& error) {
        ZrvDebug("TXK").error() << "BL revision stream error, message:" << error.message();
        setErrorString(error.message());
        throw;
    }
}

void RevisionStream::submitBlocks(unsigned long long target)
{
    // One worker reads only what this call delivers, as a stream without workers always did.
    const unsigned long long limit = workers_ > 1 ? header_->blockCount() : std::min(target, header_->blockCount());
    QDataStream map(source_.data());
    while (!submissionFailed_ && submitted_ < limit && !work_->isFull()) {
        std::function<QByteArray()> job;
        try {
            job = prepareBlock(map, submitted_);
        } catch (...) {
            // Reported when its block is reached, after the blocks before it.
            job = [failure = std::current_exception()]() -> QByteArray { std::rethrow_exception(failure); };
            submissionFailed_ = true;
        }
        work_->submit(std::move(job));
        ++submitted_;
    }
}

std::function<QByteArray()> RevisionStream::prepareBlock(QDataStream& map, unsigned long long index)
{
    const MapStream::Data record = nextRecord(map, index);
    if (!record.isUsed())
        return [zeros = unusedBlock(readsInSequence() ? record.length() : 0, index)] { return zeros; };
    const unsigned long long expected = expectedBlockSize(index);
    // A whole block of zeros needs neither its stored bytes nor their decoding: its hash says
    // what it holds. A device read in sequence still has to pass over them.
    if (record.hash() == zeroBlockHash_ && expected == header_->blockSize()) {
        if (readsInSequence())
            readStored(record, index);
        return [zeros = zeroBlock_] { return zeros; };
    }
    return [this, stored = readStored(record, index), hash = record.hash(), index, expected] {
        return decodeBlock(stored, hash, index, expected);
    };
}

void RevisionStream::takeBlock()
{
    try {
        pendingOutput_->append(work_->take());
        ++blockIndex_;
    } catch (...) {
        // Every later read fails alike: the blocks after this one must not take its place.
        failure_ = std::current_exception();
        if (pendingOutput_->isEmpty())
            throw;
    }
}

bool RevisionStream::readsInSequence() const
{
    return false;
}

QByteArray RevisionStream::modificationBlock(const QByteArray& storedBlock) const
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

unsigned long long RevisionStream::targetBlockCount(qint64 maxSize) const
{
    const unsigned long long blockSize = header_->blockSize();
    unsigned long long wanted = position_ + (unsigned long long)(maxSize);
    if (wanted < position_)
        wanted = std::numeric_limits<unsigned long long>::max();
    return wanted / blockSize + (wanted % blockSize != 0 ? 1 : 0);
}

MapStream::Data RevisionStream::nextRecord(QDataStream& map, unsigned long long index)
{
    MapStream::Data record;
    map >> record;
    if (map.status() != QDataStream::Ok)
        throw ErrorOperation(tr("Map ends before record %1").arg(index));
    if (record.isUsed() && record.length() > maxStoredLength(header_->blockSize()))
        throw ErrorOperation(tr("Record %1 is longer than a stored block can be").arg(index));
    // Writers give unused blocks an all-zero hash. Without this check a used flag cleared by damage
    // would restore its block as zeros, with no hash left to notice.
    static const QByteArray unusedHash(MapStream::Data::HashSize, '\0');
    if (!record.isUsed() && record.hash() != unusedHash)
        throw ErrorOperation(tr("Record %1 is marked unused but carries a block hash").arg(index));
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

QByteArray RevisionStream::readStored(const MapStream::Data& record, unsigned long long index)
{
    QIODevice& device = revisionDevice(record.revision());
    if (!readsInSequence() && !device.seek(qint64(record.offset())))
        throw ErrorOperation(tr("Data of revision %1 has no offset %2").arg(record.revision()).arg(record.offset()));
    QByteArray stored(int(record.length()), Qt::Uninitialized);
    qint64 filled = 0;
    while (filled < stored.size()) {
        const qint64 count = device.read(stored.data() + filled, stored.size() - filled);
        if (count <= 0)
            throw ErrorOperation(tr("Data of revision %1 ends inside block %2").arg(record.revision()).arg(index));
        filled += count;
    }
    return stored;
}

unsigned long long RevisionStream::expectedBlockSize(unsigned long long index) const
{
    const unsigned long long blockSize = header_->blockSize();
    return std::min(blockSize, header_->length() - index * blockSize);
}

QByteArray RevisionStream::decodeBlock(const QByteArray& storedBlock, const QByteArray& hash, unsigned long long index,
                                       unsigned long long expectedSize) const
{
    const QByteArray plain = modificationBlock(storedBlock);
    if ((unsigned long long)(plain.size()) != expectedSize)
        throw ErrorOperation(
            tr("Block %1 decodes to %2 bytes instead of %3").arg(index).arg(plain.size()).arg(expectedSize));
    if (codec_->blockHash(plain) != hash)
        throw ErrorOperation(tr("Block %1 does not match its hash").arg(index));
    return plain;
}

QByteArray RevisionStream::unusedBlock(unsigned long long zeroCount, unsigned long long index) const
{
    const unsigned long long blockSize = header_->blockSize();
    const unsigned long long expected = expectedBlockSize(index);
    const unsigned long long zeros = zeroCount != 0 ? zeroCount : blockSize;
    // Only the last block may be cut, at the map's length.
    if (zeros < expected || zeros > blockSize)
        throw ErrorOperation(tr("Unused block %1 has length %2 instead of %3").arg(index).arg(zeros).arg(expected));
    return expected == blockSize ? zeroBlock_ : QByteArray(int(expected), '\0');
}

qint64 RevisionStream::deliver(char* data, qint64 maxSize)
{
    const qint64 count = pendingOutput_->take(data, maxSize);
    position_ += count;
    return count;
}

} // namespace ZRV::Stream::BlockLevel
