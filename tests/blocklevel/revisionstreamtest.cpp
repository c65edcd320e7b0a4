#include "blocklevel/revisionstream.h"
#include "chainfixture.h"

#include <gtest/gtest.h>

using namespace ChainFixture;
using namespace ZRV::Stream::BlockLevel;
namespace Compression = ZRV::Core::Compression;
namespace Encryption = ZRV::Core::Encryption;

namespace {

const QByteArray Source = QByteArray(64, 'a') + QByteArray(64, 'b') + QByteArray(30, 'c');

} // namespace

TEST(RevisionStream, smallReadsAreServedFromPendingBytesAndResetStartsAgain)
{
    const Revision revision = backup(Settings(), Source, nullptr);
    auto data = QSharedPointer<QBuffer>::create();
    data->setData(revision.data);
    RevisionStream stream(openMap(revision.map), {{1, data}}, "secret", nullptr);
    ASSERT_TRUE(stream.open(QIODevice::ReadOnly));
    EXPECT_EQ(stream.size(), 158);
    EXPECT_FALSE(stream.seek(1));
    EXPECT_EQ(stream.read(5), "aaaaa");
    EXPECT_EQ(stream.pos(), 5);
    EXPECT_EQ(stream.read(60), QByteArray(59, 'a') + "b");
    EXPECT_TRUE(stream.reset());
    QByteArray all;
    while (!stream.atEnd())
        all += stream.read(50);
    EXPECT_EQ(all, Source);
    EXPECT_EQ(RevisionStream::checkPassword(openMap(revision.map), "any"), qMakePair(true, QString()));
}

TEST(RevisionStream, damagedStoredBlockEndsTheRestoreAfterTheBlocksBeforeIt)
{
    const QList<Settings> runs = {{Variant::File, Compression::None},
                                  {Variant::File, Compression::Gzip},
                                  {Variant::File, Compression::Lz4},
                                  {Variant::File, Compression::None, Encryption::Aes128}};
    for (const Settings& settings : runs) {
        QList<Revision> chain{backup(settings, Source, nullptr)};
        const MapStream::Data second = records(chain[0].map)[1];
        // Inside the payload (not a gzip trailer), and inside the first cipher block so that the
        // padding stays valid and the tag check is what fails.
        chain[0].data = flipped(chain[0].data, int(second.offset() + qMin(20u, second.length() / 2)), 0x20);
        for (bool sequential : {false, true}) {
            QString failure;
            EXPECT_EQ(restore(chain, chain[0], "secret", sequential, &failure), Source.left(64));
            EXPECT_FALSE(failure.isEmpty());
            if (settings.compression == Compression::None) {
                EXPECT_EQ(failure,
                          settings.encryption == Encryption::NoEncryption ? "Block 1 does not match its hash"
                                                                          : "Error validate block hmac");
            }
        }
    }
}

TEST(RevisionStream, hostileMapsAndDataGiveClearErrors)
{
    const Revision good = backup(Settings(), Source, nullptr);
    const QList<QPair<Revision, QString>> cases = {
        {{1, patched<quint32>(good.map, recordAt(1, 29), 0xFFFFFFFF), good.data},
         "Record 1 is longer than a stored block can be"},
        {{1, patched<quint32>(good.map, recordAt(1, 16), 9), good.data}, "No data stream for revision 9"},
        {{1, patched<quint64>(good.map, recordAt(1, 21), 1000000), good.data},
         "Data of revision 1 has no offset 1000000"},
        {{1, good.map.left(recordAt(2, 0)), good.data}, "Map ends before record 2"},
        {{1, patched<quint64>(good.map, 18, 150), good.data}, "Block 2 decodes to 30 bytes instead of 22"},
        {{1, patched<quint64>(good.map, 18, ~0ull), good.data}, "Block 2 decodes to 30 bytes instead of 64"},
        {{1, good.map, good.data.left(150)}, "Data of revision 1 ends inside block 2"},
        {{1, patched<quint8>(good.map, 0, 'X'), good.data}, "BitmapHeader Signatures not equal"},
    };
    for (const auto& hostile : cases) {
        QString failure;
        restore({hostile.first}, hostile.first, "secret", false, &failure);
        EXPECT_EQ(failure, hostile.second);
    }
}

TEST(DifferentialFileFromTemporaryRevisionStream, unusedRecordLengthCountsZeros)
{
    const Revision revision = backup({Variant::Ibb}, Source, nullptr, {1, 2});
    const QByteArray zeroed = QByteArray(64, 'a') + QByteArray(94, '\0'); // the last block cut at the length
    EXPECT_EQ(restore({revision}, revision, "secret"), zeroed);
    const QList<QPair<quint32, QString>> cases = {{0, QString()},
                                                  {64, QString()},
                                                  {10, "Unused block 1 has length 10 instead of 64"},
                                                  {65, "Unused block 1 has length 65 instead of 64"}};
    for (const auto& length : cases) {
        const Revision patchedRevision{1, patched(revision.map, recordAt(1, 29), length.first), revision.data};
        QString failure;
        const QByteArray restored = restore({patchedRevision}, patchedRevision, "secret", true, &failure);
        EXPECT_EQ(failure, length.second);
        if (length.second.isEmpty()) {
            EXPECT_EQ(restored, zeroed);
        }
    }
}
