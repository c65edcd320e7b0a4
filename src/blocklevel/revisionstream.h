#pragma once

#include "blocklevel/mapstream.h"
#include "stream/istreamread.h"
#include "zrvstreams_export.h"

#include <QMap>
#include <QPair>

#include <functional>
#include <memory>

namespace ZRV::Stream::BlockLevel {

class BlockCodec;
class PendingOutput;

// Restores one revision of a block-level backup from its map (the source) and a table from
// revision number to the device holding that revision's data stream. Delivers exactly the
// map's length, block after block; a block is handed out only after its HMAC (when
// encrypted), its size and its block hash matched. Every failure while reading is logged, becomes the
// error string and leaves read() as an ErrorOperation.
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
    QByteArray modificationBlock(const QByteArray& storedBlock);

    // Whether password opens the key padding of an open map, and why not.
    static QPair<bool, QString> checkPassword(QSharedPointer<MapStream> map, const QByteArray& password);

protected:
    qint64 readData(char* data, qint64 maxSize) override;

    // Runs read under the guard shared by the revision streams: an ErrorOperation is logged,
    // becomes the error string and is thrown on.
    qint64 guardedRead(const std::function<qint64()>& read);
    // Blocks that must have been consumed to deliver maxSize more bytes.
    unsigned long long targetBlockCount(qint64 maxSize) const;
    bool hasMoreBlocks(unsigned long long target) const;
    // The next record of the map; throws when the map ends early or a used record is longer
    // than any stored block of this block size can be.
    MapStream::Data nextRecord(QDataStream& map);
    // The device of a revision, opened on first use.
    QIODevice& revisionDevice(unsigned int revision);
    // Reads the stored bytes of a record at the device's current position.
    QByteArray readStored(QIODevice& device, const MapStream::Data& record);
    // Each append finishes the current block and moves on to the next.
    // Decodes a stored block and makes it pending once its size and block hash are right.
    void appendDecoded(const QByteArray& storedBlock, const MapStream::Data& record);
    // Makes the zero bytes of an unused block pending; zeroCount 0 stands for a whole block,
    // and the last block is cut at the map's length.
    void appendUnused(unsigned long long zeroCount);
    qint64 deliver(char* data, qint64 maxSize);

private:
    unsigned long long expectedBlockSize() const;

    const MapStream::Header* header_ = nullptr;
    unsigned long long position_ = 0;
    unsigned long long blockIndex_ = 0;
    const std::unique_ptr<PendingOutput> pendingOutput_;
    QByteArray password_;
    const std::unique_ptr<BlockCodec> codec_;
    QMap<unsigned int, QSharedPointer<QIODevice>> revisions_;
};

} // namespace ZRV::Stream::BlockLevel
