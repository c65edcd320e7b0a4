#pragma once

#include "blocklevel/mapstream.h"
#include "core/encryption/algorithm.h"
#include "stream/istreamread.h"
#include "zrvstreams_export.h"

#include <exception>
#include <memory>
#include <optional>

namespace ZRV::Stream {
template <typename Result>
class OrderedWork;
}

namespace ZRV::Stream::BlockLevel {

class BlockCodec;
class PendingOutput;

// Base of the streams that take one block-level revision: they cut the source into blocks,
// record every block in the OUT map and yield the stored form of the blocks that changed since
// the IN map (compressed, encrypted under the chain's master key, sealed with an HMAC).
// open decides whether the run is incremental or full and sets up the master key. The stored
// bytes of a call that do not fit into the caller's buffer are kept and delivered first on the
// next call; atEnd() is true once the source is at its end, nothing is pending and no source
// failure is due to be thrown.
// The OUT map receives its final length and block count when it is closed, after this stream
// has been read to the end.
// With workers (setWorkerCount), the source is read on the caller's thread ahead of what was
// asked for, and the blocks are hashed, compressed and sealed on the workers; the map records
// and the stored bytes are taken in block order, so what is delivered, and on which call, do
// not depend on the number of workers.
class ZRVSTREAMS_EXPORT DataStream : public IStreamRead
{
    Q_OBJECT

public:
    // inMap is null for a full run. The password opens and wraps the master key of version 3
    // and 4 maps; see setRepositoryKeys for version 5.
    DataStream(QSharedPointer<QIODevice> source, QSharedPointer<MapStream> outMap, QSharedPointer<MapStream> inMap,
               ZRV::Core::Compression::Algorithm compression, ZRV::Core::Encryption::Algorithm encryption,
               const QByteArray& password, QObject* parent = nullptr);
    ~DataStream() override;

    bool isSequential() const override;
    // False, with an error line and an error string, for a compression other than 0, 1 or 3,
    // an encryption other than 3, 4, 5 or 6, an OUT block size above the map limit, or a map
    // that does not open; a failed open leaves this stream closed. A malformed IN map header
    // throws ZRV::Exception::InvalidData.
    bool open(OpenMode mode) override;
    qint64 size() const override;
    bool atEnd() const override;

    // The number of bytes the source is to deliver. By default the size of a random-access source
    // at open; unknown for a sequential one. A source that ends before it delivered them (a file
    // that shrank during the run) fails the run like a failed read: the revision would describe
    // a source that never existed.
    void setSourceSize(qint64 bytes);
    // Before open: the run goes into an authenticated repository. It writes a version 5 OUT map
    // and accepts only a version 5 IN map of the revision before (the IN and OUT maps are told
    // the keys; the IN map is checked whole when it opens and throws InvalidData if refused).
    // The password is not used then; the run must be encrypted.
    void setRepositoryKeys(const RepositoryKeys& keys);
    // Before open: encode up to `workers` blocks side by side. 1, the default, starts no thread.
    void setWorkerCount(int workers);

    bool isFull() const;
    bool checkModificationChanged();
    // The stored form of one block. Throws ErrorOperation when a stage fails.
    QByteArray blockModification(const QByteArray& block, unsigned long long blockIndex) const;

protected:
    // Takes blocks of the source while wantsBlocks(maxSize) holds; each becomes a map record and,
    // when it changed, stored bytes to deliver.
    qint64 readData(char* data, qint64 maxSize) override;
    // Whether this call is to take one more block, beside the pending bytes.
    virtual bool wantsBlocks(qint64 maxSize) const = 0;
    // Whether the block just read from the source is used.
    virtual bool blockIsUsed() const;

    // The bytes produced but not yet delivered.
    qint64 pendingSize() const;
    // The OUT map's block size, in force once open succeeded.
    qint64 blockSize() const;

    const QSharedPointer<MapStream> outMap_;

private:
    struct EncodedBlock;
    using Work = OrderedWork<EncodedBlock>;

    // Reads until size bytes came, the source is at its end or a read fails; returns the count,
    // or -1 when a read failed before anything came. A read of 0 while the source is not at its
    // end waits for it (waitForReadyRead) and reads again, so block boundaries never depend on
    // how the source splits its reads. After a failure the source has no more, and the next
    // call that finds nothing pending throws it.
    qint64 readSource(char* data, qint64 size);
    // False once the source is at its end or failed; a source at its end short of its announced
    // size counts as failed.
    bool sourceHasMore();
    // Throws ErrorOperation once a failed source read is due to be reported.
    void throwIfSourceFailed();
    // Reads blocks of the source while the work has room and submits them.
    void submitBlocks();
    // Hashes a block and, when it is used and not the same (used flag and block hash) as the IN
    // map's record at its index, encodes it; runs on a worker.
    EncodedBlock encodeBlock(const QByteArray& block, bool used, const std::optional<MapStream::Data>& previous,
                             unsigned int revision, unsigned long long index) const;
    // Records the next block in the OUT map and makes its stored form pending.
    void takeBlock();

    // Why the requested run cannot be taken; empty when it can.
    QString refusal() const;
    bool prepareRun();
    void startFullRun(unsigned int revision);
    bool initModificationStream();
    bool readPreviousRecord(MapStream::Data& record);

    QSharedPointer<MapStream> inMap_;
    unsigned long long outputOffset_ = 0;
    unsigned long long blockIndex_ = 0;
    unsigned long long submitted_ = 0;
    int workers_ = 1;
    const std::unique_ptr<PendingOutput> pendingOutput_;
    const ZRV::Core::Encryption::Algorithm encryption_;
    const ZRV::Core::Compression::Algorithm compression_;
    QByteArray password_;
    RepositoryKeys keys_;
    const std::unique_ptr<BlockCodec> codec_;
    QString sourceFailure_;
    qint64 sourceBytes_ = 0;
    qint64 announcedSize_ = -1;
    QByteArray zeroBlockHash_;
    // The failure of a block's work or record, thrown again by every later read.
    std::exception_ptr failure_;
    // Last: destroyed first, it waits for the jobs in flight, which use the codec.
    std::unique_ptr<Work> work_;
};

} // namespace ZRV::Stream::BlockLevel
