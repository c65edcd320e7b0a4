#include "blocklevel/mapstream.h"
#include "blocklevel/revisionstream.h"
#include "cloudtestsupport.h"
#include "filecontainer/version2/package.h"
#include "filecontainer/version2/unpackage.h"
#include "support/backupchain.h"

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
    QByteArray bytes = randomBytes(size);
    for (int at = 0; at < size; at += 2048)
        bytes.replace(at, qMin(1024, size - at), QByteArray(qMin(1024, size - at), 'z'));
    return bytes;
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
    const BackupChain chain =
        BackupChain::take({first, second}, BlockSize, Compression::Lz4, Encryption::Aes128, Password);
    ASSERT_EQ(chain.maps.size(), 2);
    ASSERT_LT(chain.data[1].size(), chain.data[0].size() / 4) << "the second revision stores the changes only";
    for (int revision = 0; revision < 2; ++revision)
        put(QString("revision-%1").arg(revision), chain.data[revision]);

    // The second revision takes most of its blocks from the first one's data.
    const QByteArray expected[] = {first, second};
    for (unsigned int restored = 0; restored < 2; ++restored) {
        QMap<unsigned int, QSharedPointer<QIODevice>> sources;
        for (unsigned int revision = 0; revision <= restored; ++revision) {
            const QSharedPointer<QIODevice> source =
                make(config(), QString("revision-%1").arg(revision), chain.data[int(revision)].size());
            ASSERT_TRUE(openReady(*source));
            sources.insert(revision, source);
        }
        auto map = QSharedPointer<MapStream>::create(bufferWith(chain.maps[int(restored)]), 0, nullptr);
        BlockLevel::RevisionStream restore(map, sources, Password, nullptr);
        ASSERT_TRUE(restore.open(QIODevice::ReadOnly)) << restore.errorString().toStdString();
        EXPECT_EQ(readInSmallRequests(restore), expected[restored]) << "revision " << restored;
        EXPECT_TRUE(restore.atEnd());
    }
}

INSTANTIATE_TEST_SUITE_P(Providers, CloudChains,
                         ::testing::Combine(::testing::Values(Kind::Simple, Kind::PrepareSimple, Kind::PrepareMulti),
                                            ::testing::Values(Transport::Local, Transport::Http, Transport::S3)),
                         kindName);
