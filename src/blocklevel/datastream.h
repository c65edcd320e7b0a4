#pragma once

#include "blocklevel/mapstream.h"
#include "blocklevel/pendingoutput.h"
#include "core/encryption/algorithm.h"
#include "stream/istreamread.h"
#include "zrvstreams_export.h"

namespace ZRV::Stream::BlockLevel {

// Base of the streams that take one block-level revision: they cut the source into blocks,
// record every block in the OUT map and yield the stored form of the blocks that changed since
// the IN map (compressed, encrypted under the chain's master key, sealed with an HMAC).
// open decides whether the run is incremental or full and sets up the master key. The stored
// bytes of a call that do not fit into the caller's buffer are kept and delivered first on the
// next call; atEnd() is true once the source is at its end and nothing is pending.
// The OUT map receives its final length and block count when it is closed, after this stream
// has been read to the end.
class ZRVSTREAMS_EXPORT DataStream : public IStreamRead
{
    Q_OBJECT

public:
    // inMap is null for a full run.
    DataStream(QSharedPointer<QIODevice> source, QSharedPointer<MapStream> outMap, QSharedPointer<MapStream> inMap,
               ZRV::Core::Compression::Algorithm compression, ZRV::Core::Encryption::Algorithm encryption,
               const QByteArray& password, QObject* parent);
    ~DataStream() override;

    bool isSequential() const override;
    // False, with an error line and an error string, for a compression other than 0, 1 or 3,
    // an encryption other than 3, 4, 5 or 6, an OUT block size above the map limit, or a map
    // that does not open; a failed open leaves this stream closed. A malformed IN map header
    // throws ZRV::Exception::InvalidData.
    bool open(OpenMode mode) override;
    qint64 size() const override;
    bool atEnd() const override;

    bool isFull() const;
    bool checkModificationChanged();
    // The stored form of one block. Throws ErrorOperation when a stage fails.
    virtual QByteArray blockModification(const QByteArray& block, unsigned long long blockIndex);

protected:
    // Reads until size bytes came, the source is exhausted or a read fails; returns the count,
    // or the failing read's result when nothing came. After a failed read the source has no
    // more, and the next call that finds nothing pending throws the failure.
    qint64 readSource(char* data, qint64 size);
    bool sourceHasMore() const;
    // Throws ErrorOperation once a failed source read is due to be reported.
    void throwIfSourceFailed();
    // Records one block of the source in the OUT map; a block that is not the same (used flag
    // and MD5) as the IN map's record at this index has its stored form appended to the
    // pending output.
    void processBlock(const QByteArray& block, bool used);

    const QSharedPointer<MapStream> outMap_;
    PendingOutput pendingOutput_;

private:
    // Why the requested run cannot be taken; empty when it can.
    QString refusal() const;
    bool prepareRun();
    void startFullRun(unsigned int revision);
    bool initModificationStream();
    bool readPreviousRecord(MapStream::Data& record);

    QSharedPointer<MapStream> inMap_;
    unsigned long long outputOffset_ = 0;
    unsigned long long blockIndex_ = 0;
    const ZRV::Core::Encryption::Algorithm encryption_;
    const ZRV::Core::Compression::Algorithm compression_;
    QByteArray password_;
    QByteArray masterKey_;
    QByteArray integrityKey_;
    QString sourceFailure_;
};

} // namespace ZRV::Stream::BlockLevel
