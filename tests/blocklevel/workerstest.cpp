#include "chainfixture.h"
#include "stream/exception/erroroperation.h"
#include "support/trickledevice.h"

#include <QCryptographicHash>
#include <gtest/gtest.h>

using namespace ChainFixture;
namespace Compression = ZRV::Core::Compression;
namespace Encryption = ZRV::Core::Encryption;

namespace {

constexpr int BlockSize = 64;
constexpr int Blocks = 40;

// Text, noise and zero blocks, the same on every run; the image variant leaves blocks 3 and 17 unused.
QByteArray sourceBytes()
{
    QByteArray bytes = compressibleBytes(Blocks * BlockSize / 2, 7) + randomBytes(Blocks * BlockSize / 2 - 20, 7);
    for (int block : {4, 5, 30})
        bytes.replace(block * BlockSize, BlockSize, QByteArray(BlockSize, '\0'));
    return bytes;
}
const QSet<int> Unused = {3, 17};

// The source of the next revision: three blocks changed, one of them to zeros.
QByteArray changedBytes()
{
    QByteArray bytes = sourceBytes();
    bytes.replace(2 * BlockSize, 10, "changed!!!");
    bytes.replace(21 * BlockSize, BlockSize, QByteArray(BlockSize, '\0'));
    bytes.replace(38 * BlockSize + 5, 3, "new");
    return bytes;
}

// Takes a revision reading readSize bytes per call; notes the size of every read.
Revision backupNoting(const Settings& settings, const QByteArray& source, const Revision* previous, qint64 readSize,
                      QList<qint64>* readSizes)
{
    const BackupRun run = backupRun(settings, QSharedPointer<MarkedSource>::create(source, Unused, BlockSize),
                                    previous ? openMap(previous->map) : nullptr);
    EXPECT_TRUE(run.stream->open(QIODevice::ReadOnly));
    Revision revision;
    revision.data = readUntilAtEnd(*run.stream, readSize, readSizes);
    revision.number = run.outMap->revision();
    run.outMap->close();
    revision.map = run.mapFile->data();
    return revision;
}

// What a map records apart from the key padding: every block's revision, flag, hash and place.
QList<QByteArray> recordFields(const QByteArray& map)
{
    QList<QByteArray> fields;
    for (const MapStream::Data& record : records(map))
        fields << QByteArray::number(record.revision()) + (record.isUsed() ? " used " : " unused ")
                + record.hash().toHex() + " " + QByteArray::number(record.offset()) + "+"
                + QByteArray::number(record.length());
    return fields;
}

Settings withWorkers(Settings settings, int workers)
{
    settings.workers = workers;
    return settings;
}

} // namespace

// Output with workers is that of one worker: the same map, the same stored bytes (bar the random
// IVs and keys of an encrypted run), delivered in the same reads, and the same restore.
TEST(Workers, backupAndRestoreDoNotDependOnTheWorkerCount)
{
    const QByteArray first = sourceBytes();
    const QByteArray second = changedBytes();
    for (Variant variant : {Variant::Ibb, Variant::File})
        for (auto compression : {Compression::None, Compression::Gzip, Compression::Lz4})
            for (auto encryption : {Encryption::NoEncryption, Encryption::Aes256}) {
                const Settings one{variant, compression, encryption, "secret", BlockSize};
                const bool encrypted = encryption != Encryption::NoEncryption;
                for (qint64 readSize : {qint64(BlockSize), qint64(1000)}) {
                    QList<qint64> oneReads;
                    const Revision oneFull = backupNoting(one, first, nullptr, readSize, &oneReads);
                    const Revision oneNext = backupNoting(one, second, &oneFull, readSize, &oneReads);
                    for (int workers : {2, 5}) {
                        SCOPED_TRACE(testing::Message()
                                     << "variant " << int(variant) << ", compression " << compression << ", encryption "
                                     << encryption << ", reads " << readSize << ", workers " << workers);
                        QList<qint64> reads;
                        const Settings many = withWorkers(one, workers);
                        const Revision full = backupNoting(many, first, nullptr, readSize, &reads);
                        const Revision next = backupNoting(many, second, &full, readSize, &reads);
                        EXPECT_EQ(reads, oneReads);
                        EXPECT_EQ(recordFields(full.map), recordFields(oneFull.map));
                        EXPECT_EQ(recordFields(next.map), recordFields(oneNext.map));
                        EXPECT_EQ(next.data.size(), oneNext.data.size());
                        if (!encrypted) {
                            EXPECT_EQ(full.map, oneFull.map);
                            EXPECT_EQ(full.data, oneFull.data);
                            EXPECT_EQ(next.map, oneNext.map);
                            EXPECT_EQ(next.data, oneNext.data);
                        }
                        const QByteArray expected = variant == Variant::Ibb ? [&] {
                            QByteArray zeroed = second;
                            for (int block : Unused)
                                zeroed.replace(block * BlockSize, BlockSize, QByteArray(BlockSize, '\0'));
                            return zeroed;
                        }()
                                                                            : second;
                        for (bool sequential : {false, true})
                            EXPECT_EQ(restore({full, next}, next, "secret", sequential, nullptr, readSize, workers),
                                      expected);
                    }
                }
            }
}

// A damaged stored block, or data that ends inside it, fails the restore after exactly the bytes
// of the blocks before it, whatever the worker count, read size or kind of revision stream.
TEST(Workers, failureSurfacesAtItsBlock)
{
    const QByteArray source = sourceBytes();
    const Settings settings{Variant::File, Compression::Lz4, Encryption::Aes128, "secret", BlockSize};
    const Revision good = backup(settings, source, nullptr);
    const QList<MapStream::Data> written = records(good.map);
    for (int damaged : {0, 9, Blocks - 1}) {
        const MapStream::Data& record = written[damaged];
        const Revision tampered{good.number, good.map, flipped(good.data, int(record.offset() + 3))};
        const Revision truncated{good.number, good.map, good.data.left(int(record.offset() + 1))};
        const QList<QPair<Revision, QString>> cases = {
            {tampered, "Error validate block hmac"},
            {truncated, QString("Data of revision 1 ends inside block %1").arg(damaged)}};
        for (const auto& broken : cases)
            for (int workers : {1, 3})
                for (bool sequential : {false, true})
                    for (qint64 readSize : {7, BlockSize, 1000}) {
                        SCOPED_TRACE(testing::Message() << broken.second.toStdString() << ", workers " << workers
                                                        << ", sequential " << sequential << ", reads " << readSize);
                        QString failure;
                        EXPECT_EQ(
                            restore({broken.first}, broken.first, "secret", sequential, &failure, readSize, workers),
                            source.left(damaged * BlockSize));
                        EXPECT_EQ(failure, broken.second);
                    }
    }
}

// Once a block failed, every later read throws its failure: no block after it takes its place.
TEST(Workers, failureIsThrownByEveryLaterRead)
{
    const QByteArray source = sourceBytes();
    const Settings settings{Variant::File, Compression::Lz4, Encryption::Aes128, "secret", BlockSize};
    const Revision good = backup(settings, source, nullptr);
    const QByteArray data = flipped(good.data, int(records(good.map)[9].offset() + 3));
    for (int workers : {1, 3}) {
        auto map = QSharedPointer<MapStream>::create(bufferWith(good.map), 0, nullptr);
        RevisionStream stream(map, {{good.number, bufferWith(data)}}, "secret", nullptr);
        stream.setWorkerCount(workers);
        ASSERT_TRUE(stream.open(QIODevice::ReadOnly));
        EXPECT_EQ(stream.read(20 * BlockSize), source.left(9 * BlockSize));
        for (int attempt = 0; attempt < 2; ++attempt)
            EXPECT_THROW(stream.read(BlockSize), ZRV::Stream::Exception::ErrorOperation);
        EXPECT_EQ(stream.pos(), 9 * BlockSize);
        EXPECT_EQ(stream.errorString(), "Error validate block hmac");
    }
}

// A source read that fails mid-run ends the run after the blocks read before it were delivered.
TEST(Workers, sourceFailureEndsTheRunAfterTheBlocksBeforeIt)
{
    const QByteArray source = sourceBytes();
    for (Variant variant : {Variant::Ibb, Variant::File})
        for (int workers : {1, 2, 4}) {
            SCOPED_TRACE(testing::Message() << "variant " << int(variant) << ", workers " << workers);
            const Settings settings{variant, Compression::None, Encryption::NoEncryption, "", BlockSize, workers};
            const BackupRun run =
                backupRun(settings, QSharedPointer<TrickleDevice>::create(source, 100, 1000), nullptr);
            ASSERT_TRUE(run.stream->open(QIODevice::ReadOnly));
            QByteArray data;
            QString failure;
            try {
                while (!run.stream->atEnd())
                    data += run.stream->read(BlockSize);
            } catch (const ZRV::Stream::Exception::ErrorOperation& error) {
                failure = error.message();
            }
            EXPECT_EQ(failure, "Error on read source data: trickle device failed");
            EXPECT_EQ(data, source.left(1000));
        }
}

// A used block of zeros is restored from its hash: its stored bytes are neither read nor checked.
TEST(Workers, zeroBlockIsRestoredWithoutItsStoredBytes)
{
    const QByteArray source = sourceBytes();
    const Settings settings{Variant::File, Compression::Lz4, Encryption::Aes128, "secret", BlockSize};
    const Revision good = backup(settings, source, nullptr);
    const MapStream::Data zero = records(good.map)[4];
    const Revision damaged{good.number, good.map, flipped(good.data, int(zero.offset() + 3))};
    for (int workers : {1, 3}) {
        QString failure;
        EXPECT_EQ(restore({damaged}, damaged, "secret", false, &failure, 4096, workers), source);
        EXPECT_TRUE(failure.isEmpty()) << failure.toStdString();
    }
}

// Streams destroyed with blocks still in flight wait for them; nothing outlives the stream.
TEST(Workers, streamsDestroyedMidRunWaitForTheirBlocks)
{
    const QByteArray source = randomBytes(400 * 4096, 3);
    const Settings settings{Variant::File, Compression::Gzip, Encryption::Aes256, "secret", 4096, 4};
    const Revision revision = backup(settings, source, nullptr);
    {
        const BackupRun run = backupRun(settings, bufferWith(source), nullptr);
        ASSERT_TRUE(run.stream->open(QIODevice::ReadOnly));
        EXPECT_FALSE(run.stream->read(4096).isEmpty());
    }
    auto map = QSharedPointer<MapStream>::create(bufferWith(revision.map), 0, nullptr);
    RevisionStream stream(map, {{revision.number, bufferWith(revision.data)}}, "secret", nullptr);
    stream.setWorkerCount(4);
    ASSERT_TRUE(stream.open(QIODevice::ReadOnly));
    EXPECT_EQ(stream.read(100), source.left(100));
    // A reset drops the blocks in flight and starts again from the first one.
    ASSERT_TRUE(stream.reset());
    EXPECT_EQ(stream.read(4096 + 100), source.left(4096 + 100));
}

// One worker writes what earlier versions wrote: the SHA-256 of the stored bytes and maps of a
// full and an incremental run, as computed before workers existed.
TEST(Workers, storedBytesAreThoseOfEarlierVersions)
{
    struct Case
    {
        Variant variant;
        Compression::Algorithm compression;
        const char* digest;
    };
    const QList<Case> cases = {
        {Variant::Ibb, Compression::None, "26ccb9376c1fef3aad4d79060f5327db852b5b722071defd76e52865fd5430ce"},
        {Variant::File, Compression::Gzip, "406494cae2de132a5812d8e68913bc30432be34da5b799fcbf3f3cf36b69b270"},
        {Variant::File, Compression::Lz4, "02a1b288848385f86d989758395a5ee016c7c5e8a158ec527482178fb6701b47"}};
    for (const Case& c : cases)
        for (int workers : {1, 3}) {
            const Settings settings{c.variant, c.compression, Encryption::NoEncryption, "", BlockSize, workers};
            const Revision full = backup(settings, sourceBytes(), nullptr, Unused);
            const Revision next = backup(settings, changedBytes(), &full, Unused);
            const QByteArray all = full.data + full.map + next.data + next.map;
            EXPECT_EQ(QCryptographicHash::hash(all, QCryptographicHash::Sha256).toHex(), c.digest)
                << "variant " << int(c.variant) << ", compression " << c.compression << ", workers " << workers;
        }
}
