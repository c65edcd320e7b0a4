#include "blocklevel/differentialfiledatastream.h"
#include "blocklevel/revisionstream.h"
#include "cloudtestsupport.h"
#include "filecontainer/version2/package.h"
#include "filecontainer/version2/unpackage.h"

#include <QBuffer>

using namespace ZRV::Stream;
using BlockLevel::MapStream;
namespace Compression = ZRV::Core::Compression;
namespace Encryption = ZRV::Core::Encryption;

// The library's own chains with a cloud stream of each kind as their data source.
namespace {

const QByteArray Password = "secret";
const unsigned int BlockSize = 4096;

// Half noise, half runs of one letter, so that the compressors have work on either.
QByteArray sampleBytes(int size)
{
    QByteArray bytes = objectBytes(size);
    for (int at = 0; at < size; at += 2048)
        bytes.replace(at, qMin(1024, size - at), QByteArray(qMin(1024, size - at), 'z'));
    return bytes;
}

QSharedPointer<QIODevice> bufferWith(const QByteArray& bytes)
{
    auto buffer = QSharedPointer<QBuffer>::create();
    buffer->setData(bytes);
    return buffer;
}

// Reads until atEnd() in requests of odd sizes, so that they seldom line up with the blocks and
// buffers below; stops at a read that yields nothing.
QByteArray readInSmallRequests(QIODevice& device)
{
    const qint64 sizes[] = {1, 13, 700, 4099};
    QByteArray result;
    for (int turn = 0; !device.atEnd(); ++turn) {
        const QByteArray part = device.read(sizes[turn % 4]);
        if (part.isEmpty())
            break;
        result += part;
    }
    return result;
}

QByteArray packed(const QByteArray& data)
{
    FileContainer::V2::Package package(bufferWith(data), quint64(data.size()), Encryption::Aes256, Password, true,
        nullptr);
    EXPECT_TRUE(package.open(QIODevice::ReadOnly)) << package.errorString().toStdString();
    return readInSmallRequests(package);
}

struct Revision
{
    unsigned int number = 0;
    QByteArray map;
    QByteArray data;
};

QSharedPointer<MapStream> mapOver(const QByteArray& map)
{
    return QSharedPointer<MapStream>::create(bufferWith(map), 0, nullptr);
}

// A revision of source after previous (none: a full one).
Revision backUp(const QByteArray& source, const Revision* previous)
{
    auto mapFile = QSharedPointer<QBuffer>::create();
    auto outMap = QSharedPointer<MapStream>::create(mapFile, 1, nullptr);
    outMap->setBlockSize(BlockSize);
    QSharedPointer<MapStream> inMap = previous ? mapOver(previous->map) : nullptr;
    if (inMap)
        inMap->open(QIODevice::ReadOnly);
    BlockLevel::DifferentialFileDataStream stream(
        bufferWith(source), outMap, inMap, Compression::Lz4, Encryption::Aes128, Password, nullptr);
    EXPECT_TRUE(stream.open(QIODevice::ReadOnly)) << stream.errorString().toStdString();
    Revision revision;
    // A read that covers only unchanged blocks yields nothing; each read takes at least one block.
    for (int turn = 0; !stream.atEnd() && turn <= source.size() / int(BlockSize); ++turn)
        revision.data += stream.read(8 * BlockSize);
    EXPECT_TRUE(stream.atEnd());
    revision.number = outMap->revision();
    outMap->close();
    revision.map = mapFile->data();
    return revision;
}

using CloudChains = KindTest;

} // namespace

TEST_P(CloudChains, unpacksAVersion2Container)
{
    // Packing derives a key from the password, which takes a while: once per process.
    static const QByteArray data = sampleBytes(150000);
    static const QByteArray container = packed(data);
    put("container", container);
    const QSharedPointer<QIODevice> source = make(config(), "container", container.size());
    ASSERT_TRUE(openReady(*source));

    FileContainer::V2::Unpackage unpackage(source, Password, nullptr);
    ASSERT_TRUE(unpackage.open(QIODevice::ReadOnly)) << unpackage.errorString().toStdString();
    EXPECT_EQ(readInSmallRequests(unpackage), data);
    EXPECT_TRUE(unpackage.atEnd());
    EXPECT_TRUE(unpackage.validate());
}

TEST_P(CloudChains, restoresBlockLevelRevisions)
{
    const QByteArray first = sampleBytes(40 * BlockSize + 123);
    QByteArray second = first + sampleBytes(2 * BlockSize);
    second.replace(5 * BlockSize + 7, 3, "new");
    QList<Revision> chain;
    chain << backUp(first, nullptr);
    chain << backUp(second, &chain[0]);
    ASSERT_EQ(chain[1].number, 2u);
    ASSERT_LT(chain[1].data.size(), chain[0].data.size() / 4) << "the second revision stores the changes only";
    for (const Revision& revision : chain)
        put(QString("revision-%1").arg(revision.number), revision.data);

    // The second revision takes most of its blocks from the first one's data.
    const QByteArray expected[] = {first, second};
    for (int restored = 0; restored < chain.size(); ++restored) {
        QMap<unsigned int, QSharedPointer<QIODevice>> sources;
        for (int index = 0; index <= restored; ++index) {
            const Revision& revision = chain[index];
            const QSharedPointer<QIODevice> source
                = make(config(), QString("revision-%1").arg(revision.number), revision.data.size());
            ASSERT_TRUE(openReady(*source));
            sources.insert(revision.number, source);
        }
        BlockLevel::RevisionStream restore(mapOver(chain[restored].map), sources, Password, nullptr);
        ASSERT_TRUE(restore.open(QIODevice::ReadOnly)) << restore.errorString().toStdString();
        EXPECT_EQ(readInSmallRequests(restore), expected[restored]) << "revision " << restored + 1;
        EXPECT_TRUE(restore.atEnd());
    }
}

INSTANTIATE_TEST_SUITE_P(Providers, CloudChains,
    ::testing::Combine(::testing::Values(Kind::Simple, Kind::PrepareSimple, Kind::PrepareMulti),
        ::testing::Values(Transport::Local, Transport::Http)),
    kindName);
