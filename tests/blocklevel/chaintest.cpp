#include "blocklevel/revisionstream.h"
#include "chainfixture.h"

#include <QRandomGenerator>
#include <gtest/gtest.h>
#include <tuple>

using namespace ChainFixture;
namespace Compression = ZRV::Core::Compression;
namespace Encryption = ZRV::Core::Encryption;

namespace {

// Half compressible text, half noise, the same on every run.
QByteArray sourceBytes(int size, quint32 seed)
{
    QRandomGenerator random(seed);
    QByteArray bytes;
    while (bytes.size() < size)
        bytes += random.bounded(2) ? QByteArray("block level ") : QByteArray::number(random.generate64(), 36);
    return bytes.left(size);
}

QByteArray zeroed(QByteArray bytes, const QSet<int>& unused, int blockSize)
{
    for (int i = 0; i < bytes.size(); ++i)
        bytes[i] = unused.contains(i / blockSize) ? '\0' : bytes[i];
    return bytes;
}

int storedBlocks(const Revision& revision)
{
    int stored = 0;
    unsigned long long length = 0;
    for (const MapStream::Data& record : records(revision.map))
        if (record.revision() == revision.number && record.isUsed()) {
            ++stored;
            length += record.length();
        }
    EXPECT_EQ(length, (unsigned long long)(revision.data.size()));
    return stored;
}

using ChainCase = std::tuple<Variant, Compression::Algorithm, Encryption::Algorithm>;

using Chain = testing::TestWithParam<ChainCase>;

} // namespace

TEST_P(Chain, fullThenIncrementalsRestoreEveryRevision)
{
    Settings run;
    std::tie(run.variant, run.compression, run.encryption) = GetParam();
    const bool ibb = run.variant == Variant::Ibb;
    const int b = int(run.blockSize);

    QByteArray first = sourceBytes(8 * b + 20, 1);
    QByteArray second = first + sourceBytes(2 * b + 30, 2); // grown: last block filled, two more
    second[b + 5] = '!'; // changed
    QByteArray third = second.left(5 * b + 7); // shrunk
    third[0] = '?';
    const QSet<int> firstUnused = ibb ? QSet<int>{2, 5} : QSet<int>();
    const QSet<int> secondUnused = ibb ? QSet<int>{5, 6} : QSet<int>();

    QList<Revision> chain;
    chain << backup(run, first, nullptr, firstUnused);
    chain << backup(run, second, &chain[0], secondUnused, 100);
    chain << backup(run, third, &chain[1]);
    EXPECT_EQ(chain[1].number, 2u);
    EXPECT_EQ(chain[2].number, 3u);
    EXPECT_EQ(storedBlocks(chain[0]), 9 - firstUnused.size());
    EXPECT_EQ(storedBlocks(chain[1]), ibb ? 5 : 4); // block 1, the grown tail, and block 2 back in use
    EXPECT_EQ(storedBlocks(chain[2]), 2); // block 0 and the new short last block

    const QList<QByteArray> expected = {zeroed(first, firstUnused, b), zeroed(second, secondUnused, b), third};
    for (int i = 0; i < chain.size(); ++i) {
        EXPECT_EQ(restore(chain, chain[i], run.password), expected[i]) << "revision " << i + 1;
        EXPECT_EQ(restore(chain, chain[i], run.password, true, nullptr, 7), expected[i]) << "revision " << i + 1;
    }
}

TEST(ChainPassword, wrongPasswordStartsAnewAndCannotRestore)
{
    for (Encryption::Algorithm cipher : {Encryption::Aes128, Encryption::Aes192, Encryption::Aes256}) {
        Settings run{Variant::Ibb, Compression::Lz4, cipher};
        const QByteArray source = sourceBytes(3 * int(run.blockSize) + 1, 3);
        QList<Revision> chain{backup(run, source, nullptr)};
        run.password = "other";
        chain << backup(run, source, &chain[0]);
        EXPECT_EQ(storedBlocks(chain[1]), 4);
        EXPECT_EQ(restore(chain, chain[1], "other"), source);

        QString failure;
        EXPECT_TRUE(restore(chain, chain[0], "other", false, &failure).isEmpty());
        EXPECT_FALSE(failure.isEmpty());
        const auto checked = ZRV::Stream::BlockLevel::RevisionStream::checkPassword(openMap(chain[0].map), "other");
        EXPECT_FALSE(checked.first);
        EXPECT_EQ(checked.second, failure);
        EXPECT_TRUE(ZRV::Stream::BlockLevel::RevisionStream::checkPassword(openMap(chain[1].map), "other").first);
    }
}

INSTANTIATE_TEST_SUITE_P(AllSettings, Chain,
                         testing::Combine(testing::Values(Variant::Ibb, Variant::File),
                                          testing::Values(Compression::None, Compression::Gzip, Compression::Lz4),
                                          testing::Values(Encryption::NoEncryption, Encryption::Aes128,
                                                          Encryption::Aes192, Encryption::Aes256)),
                         [](const testing::TestParamInfo<ChainCase>& info) {
                             return QString("%1_compression%2_encryption%3")
                                 .arg(std::get<0>(info.param) == Variant::Ibb ? "Ibb" : "File")
                                 .arg(std::get<1>(info.param))
                                 .arg(std::get<2>(info.param))
                                 .toStdString();
                         });
