#pragma once

#include "blocklevel/mapstream.h"
#include "stream/istreamread.h"
#include "zrvstreams_export.h"

#include <QMap>
#include <QPair>

#include <exception>
#include <functional>
#include <memory>

namespace ZRV::Stream {
template <typename Result>
class OrderedWork;
}

namespace ZRV::Stream::BlockLevel {

class BlockCodec;
class PendingOutput;

// Restores one revision of a block-level backup from its map (the source) and a table from
// revision number to the device holding that revision's data stream. Delivers exactly the
// map's length, block after block; a block is handed out only after its HMAC (when
// encrypted), its size and its block hash matched. A used block whose hash is that of a whole
// block of zeros is restored as zeros without reading or decoding its stored bytes. Every failure
// while reading is logged, becomes the error string and leaves read() as an ErrorOperation, after
// the bytes of the blocks before the failing one were delivered (the read that reaches the failing
// block returns what is pending; the next one, and every later one, throws).
// With workers (setWorkerCount), stored blocks are read on the caller's thread ahead of what
// was asked for, and decoded and checked on the workers; what is delivered, and where a failure
// surfaces, do not depend on the number of workers.
class ZRVSTREAMS_EXPORT RevisionStream : public IStreamRead
{
    Q_OBJECT

public:
    RevisionStream(QSharedPointer<MapStream> map, const QMap<unsigned int, QSharedPointer<QIODevice>>& revisions,
                   const QByteArray& password, QObject* parent = nullptr);
    ~RevisionStream() override;

    // Before open: the map belongs to an authenticated repository (MapStream::setRepositoryKeys):
    // open refuses, with the error string set, a map that is not the checked version 5 map of
    // the revision the map stream was made for. The password is not used then.
    void setRepositoryKeys(const RepositoryKeys& keys);
    // Before open: decode up to `workers` blocks side by side. 1, the default, starts no thread.
    void setWorkerCount(int workers);

    bool isSequential() const override;
    // Opens (or rewinds) the map to its first record and unwraps the master key; false, with
    // the error string set, when the map is malformed or the password does not open its key.
    bool open(OpenMode mode) override;
    qint64 pos() const override;
    qint64 size() const override;
    bool seek(qint64 pos) override;
    bool atEnd() const override;
    // Starts again from the first byte.
    bool reset() override;

    // The plain bytes of one stored block, at most one block long. Throws ErrorOperation.
    QByteArray modificationBlock(const QByteArray& storedBlock) const;

    // Whether password opens the key padding of an open map, and why not.
    static QPair<bool, QString> checkPassword(QSharedPointer<MapStream> map, const QByteArray& password);

protected:
    qint64 readData(char* data, qint64 maxSize) override;

    // Whether the revision devices are read strictly in sequence, without seeking: each delivers,
    // in block order, exactly the stored blocks that the map's records of its revision name, and
    // an unused record with a non-zero length stands for that many zero bytes.
    virtual bool readsInSequence() const;

private:
    using Work = OrderedWork<QByteArray>;

    // Blocks that must have been consumed to deliver maxSize more bytes.
    unsigned long long targetBlockCount(qint64 maxSize) const;
    // Reads records and stored blocks up to `target` (further ahead with workers) and submits
    // their decoding; a failure on the way becomes the result of its block.
    void submitBlocks(unsigned long long target);
    // The decoding of the next record's block, from what is read here, on the caller's thread.
    std::function<QByteArray()> prepareBlock(QDataStream& map, unsigned long long index);
    // The next record of the map; throws when the map ends early or a used record is longer
    // than any stored block of this block size can be.
    MapStream::Data nextRecord(QDataStream& map, unsigned long long index);
    // The device of a revision, opened on first use.
    QIODevice& revisionDevice(unsigned int revision);
    // Reads the stored bytes of a record from its revision's device.
    QByteArray readStored(const MapStream::Data& record, unsigned long long index);
    // The zero bytes of an unused record; zeroCount 0 stands for a whole block, and the last
    // block is cut at the map's length.
    QByteArray unusedBlock(unsigned long long zeroCount, unsigned long long index) const;
    // The plain bytes of a stored block once its size and block hash are right; runs on a worker.
    QByteArray decodeBlock(const QByteArray& storedBlock, const QByteArray& hash, unsigned long long index,
                           unsigned long long expectedSize) const;
    unsigned long long expectedBlockSize(unsigned long long index) const;
    // Takes the next block's result. A failure is kept, and thrown by this and every later read
    // once no bytes are pending.
    void takeBlock();
    qint64 deliver(char* data, qint64 maxSize);
    // Starts delivering from the first block, once the header and the codec are known.
    void startReading();

    const MapStream::Header* header_ = nullptr;
    unsigned long long position_ = 0;
    unsigned long long blockIndex_ = 0;
    unsigned long long submitted_ = 0;
    int workers_ = 1;
    // A whole block of zeros, shared by every zero block delivered, and its hash.
    QByteArray zeroBlock_;
    QByteArray zeroBlockHash_;
    // The failure of the block at blockIndex_, once it was reached.
    std::exception_ptr failure_;
    bool submissionFailed_ = false;
    const std::unique_ptr<PendingOutput> pendingOutput_;
    QByteArray password_;
    const std::unique_ptr<BlockCodec> codec_;
    QMap<unsigned int, QSharedPointer<QIODevice>> revisions_;
    // Last: destroyed first, it waits for the jobs in flight, which use the codec.
    std::unique_ptr<Work> work_;
};

} // namespace ZRV::Stream::BlockLevel
