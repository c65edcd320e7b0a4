#include "blocklevel/datastream.h"

#include "blocklevel/blockcodec.h"
#include "blocklevel/blockwork.h"
#include "blocklevel/pendingoutput.h"
#include "core/zrvdebug.h"
#include "stream/exception/erroroperation.h"
#include "stream/readfully.h"

#include <QDataStream>

#include <cstring>

namespace ZRV::Stream::BlockLevel {

namespace Compression = ZRV::Core::Compression;
namespace Encryption = ZRV::Core::Encryption;
using ZRV::Stream::Exception::ErrorOperation;

// One block's work, handed back in block order.
struct DataStream::EncodedBlock
{
    MapStream::Data record;
    qint64 length = 0;
    // Empty unless the block is stored.
    QByteArray stored;
    bool isStored = false;
};

namespace {

bool isAllZero(const QByteArray& block)
{
    return !block.isEmpty() && block.at(0) == '\0'
        && std::memcmp(block.constData(), block.constData() + 1, size_t(block.size() - 1)) == 0;
}

} // namespace

DataStream::DataStream(QSharedPointer<QIODevice> source, QSharedPointer<MapStream> outMap,
                       QSharedPointer<MapStream> inMap, Compression::Algorithm compression,
                       Encryption::Algorithm encryption, const QByteArray& password, QObject* parent)
    : IStreamRead(std::move(source), parent)
    , outMap_(std::move(outMap))
    , inMap_(std::move(inMap))
    , pendingOutput_(std::make_unique<PendingOutput>())
    , encryption_(encryption)
    , compression_(compression)
    , password_(password)
    , codec_(std::make_unique<BlockCodec>())
{
}

DataStream::~DataStream() = default;

bool DataStream::isSequential() const
{
    return true;
}

qint64 DataStream::size() const
{
    return 0;
}

bool DataStream::atEnd() const
{
    if (!isOpen())
        return true;
    // A source short of its announced size is not at the end of the run: the next read throws.
    const bool shortOfAnnounced = announcedSize_ >= 0 && sourceBytes_ < announcedSize_;
    return sourceFailure_.isNull() && !shortOfAnnounced && IStream::atEnd() && pendingOutput_->isEmpty()
        && work_->isEmpty() && QIODevice::bytesAvailable() == 0;
}

bool DataStream::isFull() const
{
    return !inMap_;
}

bool DataStream::checkModificationChanged()
{
    return !inMap_ || inMap_->header()->compressionAlgorith() != compression_;
}

bool DataStream::open(OpenMode mode)
{
    const QString refused = refusal();
    if (!refused.isEmpty()) {
        ZrvDebug("TXK").error() << "on open BlockLevel data stream:" << refused;
        setErrorString(refused);
        return false;
    }
    if (!IStreamRead::open(mode))
        return false;
    if (announcedSize_ < 0 && !source_->isSequential())
        announcedSize_ = source_->size();
    try {
        if (prepareRun())
            return true;
    } catch (...) {
        IStream::close();
        throw;
    }
    IStream::close();
    return false;
}

QString DataStream::refusal() const
{
    if (compression_ != Compression::None && compression_ != Compression::Gzip && compression_ != Compression::Lz4)
        return tr("Block-level backup does not support compression algorithm %1").arg(compression_);
    if (encryption_ < Encryption::Aes128 || encryption_ > Encryption::NoEncryption)
        return tr("Block-level backup does not support encryption algorithm %1").arg(encryption_);
    if (keys_.isValid() && encryption_ == Encryption::NoEncryption)
        return tr("Block-level backup into an authenticated repository needs encryption");
    if (outMap_ && outMap_->header()->blockSize() > MapStream::Header::MaxBlockSize)
        return tr("Block-level backup does not support block size %1").arg(outMap_->header()->blockSize());
    return QString();
}

void DataStream::setRepositoryKeys(const RepositoryKeys& keys)
{
    keys_ = keys;
}

void DataStream::setWorkerCount(int workers)
{
    workers_ = std::max(workers, 1);
}

bool DataStream::prepareRun()
{
    if (outMap_)
        outMap_->setRepositoryKeys(keys_);
    if (inMap_) {
        inMap_->setRepositoryKeys(keys_);
        // An IN map opened before it was told the keys is checked now.
        if (keys_.isValid() && inMap_->isOpen() && !inMap_->codec())
            inMap_->reset();
    }
    if (!outMap_ || (!outMap_->isOpen() && !outMap_->open(WriteOnly))) {
        ZrvDebug("TXK").error() << "on open BlockLevel OUT map stream";
        return false;
    }
    if (inMap_ && !inMap_->isOpen() && !inMap_->open(ReadOnly)) {
        ZrvDebug("TXK").error() << "on open BlockLevel IN map stream";
        return false;
    }

    MapStream::Header* out = outMap_->header();
    if (inMap_) {
        const MapStream::Header* in = inMap_->header();
        if (checkModificationChanged()) {
            ZrvDebug("TXK").infoH() << "BL modification is changed, do full..";
            startFullRun(in->revision() + 1);
        } else if (inMap_->useEncryption() != (encryption_ != Encryption::NoEncryption)
                   || (inMap_->useEncryption() && in->encryptionAlgorithm() != encryption_)) {
            // Another recorded code also means another key-padding cipher: the padding carried over
            // would not open with the cipher the new map names.
            ZrvDebug("TXK").infoH() << "Encryption algorithm is changed! do FULL!";
            startFullRun(in->revision() + 1);
        } else {
            out->init(*in);
            out->incrementrevision();
        }
    }
    // The first header, written when the OUT map opened, is a version 4 one; the final header
    // must have its size. An authenticated repository writes version 5, which has it too.
    out->setVersion(keys_.isValid() ? MapStream::Header::AuthenticatedVersion : MapStream::Header::CurrentVersion);
    out->calculateHeaderSize();
    out->setCompressionAlgorithm(compression_);
    out->setEncryptionAlgorithm(encryption_);
    *codec_ = BlockCodec(*out);
    if (outMap_->useEncryption()) {
        if (!initModificationStream())
            return false;
        if (codec_->isAuthenticated())
            outMap_->setMapKey(codec_->mapKey());
    }
    zeroBlockHash_ = codec_->blockHash(QByteArray(int(blockSize()), '\0'));
    work_ = makeBlockWork<EncodedBlock>(workers_, blockSize());
    return true;
}

void DataStream::startFullRun(unsigned int revision)
{
    outMap_->header()->setRevison(revision);
    inMap_.reset();
}

bool DataStream::initModificationStream()
{
    MapStream::Header* out = outMap_->header();
    if (inMap_ && inMap_->codec()) {
        // A version 5 IN map opened with the repository's keys: its key is the chain's.
        codec_->adoptKey(*inMap_->codec());
        return true;
    }
    if (inMap_ && !out->keyPadding().isEmpty()) {
        switch (codec_->unlock(*inMap_->header(), password_, keys_)) {
        case BlockCodec::Unlock::Opened:
            return true;
        case BlockCodec::Unlock::Refused:
            ZrvDebug("TXK").error() << "Error on init master password, message:" << codec_->errorString();
            ZrvDebug("TXK").infoH() << "Init new encryption, and do full";
            break;
        case BlockCodec::Unlock::KeyDoesNotFit:
            ZrvDebug("TXK").infoH() << "Encryption algorithm is changed! do FULL!";
            break;
        }
    }
    // A new master key cannot open the blocks of earlier revisions: the run is full.
    inMap_.reset();
    const QByteArray keyPadding = codec_->createKey(password_, keys_);
    if (keyPadding.isEmpty()) {
        ZrvDebug("TXK").error() << "Error on create master key";
        setErrorString(codec_->errorString());
        return false;
    }
    out->setKeyPadding(keyPadding);
    return true;
}

QByteArray DataStream::blockModification(const QByteArray& block, unsigned long long) const
{
    return codec_->encode(block);
}

qint64 DataStream::readSource(char* data, qint64 size)
{
    bool stalled = false;
    const qint64 filled = readFully(*source_, data, size, &stalled);
    // A failed read, or short of the size but not at the end (the source stalled or a read failed
    // after some bytes), fails the run: a block is never cut short.
    if (filled < 0 || (filled < size && !source_->atEnd()))
        sourceFailure_ = stalled ? tr("the source delivers nothing but is not at its end") : source_->errorString();
    if (filled < 0)
        return -1;
    sourceBytes_ += filled;
    return filled;
}

bool DataStream::sourceHasMore()
{
    if (!sourceFailure_.isNull())
        return false;
    if (!source_->atEnd())
        return true;
    if (announcedSize_ >= 0 && sourceBytes_ < announcedSize_)
        sourceFailure_ = tr("the source ended after %1 of its %2 bytes: it shrank during the run")
                             .arg(sourceBytes_)
                             .arg(announcedSize_);
    return false;
}

void DataStream::setSourceSize(qint64 bytes)
{
    announcedSize_ = bytes;
}

void DataStream::throwIfSourceFailed()
{
    if (sourceFailure_.isNull() || !pendingOutput_->isEmpty() || !work_->isEmpty())
        return;
    setErrorString(tr("Error on read source data: %1").arg(sourceFailure_));
    throw ErrorOperation(errorString());
}

bool DataStream::readPreviousRecord(MapStream::Data& record)
{
    if (!inMap_ || inMap_->blockCount() <= submitted_)
        return false;
    QDataStream map(inMap_.data());
    map >> record;
    // A truncated IN map only makes the remaining blocks count as changed.
    return map.status() == QDataStream::Ok;
}

qint64 DataStream::readData(char* data, qint64 maxSize)
{
    if (failure_)
        std::rethrow_exception(failure_);
    while (wantsBlocks(maxSize)) {
        submitBlocks();
        if (work_->isEmpty())
            break;
        try {
            takeBlock();
        } catch (...) {
            // The run cannot go on without this block's record: every later read fails alike.
            failure_ = std::current_exception();
            throw;
        }
    }
    throwIfSourceFailed();
    return pendingOutput_->take(data, maxSize);
}

bool DataStream::blockIsUsed() const
{
    return true;
}

qint64 DataStream::pendingSize() const
{
    return pendingOutput_->size();
}

qint64 DataStream::blockSize() const
{
    return outMap_->header()->blockSize();
}

void DataStream::submitBlocks()
{
    while (!work_->isFull() && sourceHasMore()) {
        // A block of its own: the workers may still read it while the next one is read.
        QByteArray block(int(blockSize()), Qt::Uninitialized);
        const qint64 count = readSource(block.data(), block.size());
        if (count < 1) {
            ZrvDebug("TXK").error() << "Abnormal ending while read data stream. Result (" << count << ")";
            break;
        }
        block.resize(int(count));
        std::optional<MapStream::Data> previous;
        if (MapStream::Data record; readPreviousRecord(record))
            previous = record;
        const bool used = blockIsUsed();
        const unsigned int revision = outMap_->header()->revision();
        const unsigned long long index = submitted_++;
        work_->submit([this, block = std::move(block), used, previous = std::move(previous), revision, index] {
            return encodeBlock(block, used, previous, revision, index);
        });
    }
}

DataStream::EncodedBlock DataStream::encodeBlock(const QByteArray& block, bool used,
                                                 const std::optional<MapStream::Data>& previous, unsigned int revision,
                                                 unsigned long long index) const
{
    static const QByteArray unusedHash(MapStream::Data::HashSize, '\0');
    EncodedBlock result;
    result.length = block.size();
    result.record.setRevision(revision);
    result.record.setUsed(used);
    // A whole block of zeros, frequent in images, has a hash known in advance.
    const bool zeros = block.size() == blockSize() && isAllZero(block);
    result.record.setHash(!used ? unusedHash : zeros ? zeroBlockHash_ : codec_->blockHash(block));
    if (previous && previous->isUsed() == used && previous->hash() == result.record.hash()) {
        result.record = *previous;
    } else if (used) {
        result.stored = blockModification(block, index);
        result.isStored = true;
    }
    return result;
}

void DataStream::takeBlock()
{
    EncodedBlock block = work_->take();
    MapStream::Header* out = outMap_->header();
    out->addLengthByte(block.length);
    if (block.isStored) {
        block.record.setOffset(outputOffset_);
        block.record.setLength(block.stored.size());
        pendingOutput_->append(block.stored);
        outputOffset_ += block.stored.size();
    }
    QDataStream map(outMap_.data());
    map << block.record;
    if (map.status() != QDataStream::Ok)
        throw ErrorOperation(tr("Error on write map record %1").arg(blockIndex_));
    out->incrementBlock();
    ++blockIndex_;
}

} // namespace ZRV::Stream::BlockLevel
