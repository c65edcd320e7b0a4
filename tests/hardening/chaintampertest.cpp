#include "hardening/tampermatrix.h"
#include "support/backupchain.h"
#include "support/testbytes.h"

#include "blocklevel/mapstream.h"
#include "blocklevel/revisionstream.h"
#include "encryption/keyderivation.h"

#include <gtest/gtest.h>
#include <stdexcept>

using namespace ZRV::Stream::BlockLevel;
namespace Encryption = ZRV::Core::Encryption;
namespace Compression = ZRV::Core::Compression;

namespace {

const QByteArray Password = "tamper password";
const unsigned int BlockSize = 1024;

// A backup chain of two revisions: revision 0 a full run, revision 1 an incremental run with its
// second block changed. Restoring revision 1 needs its map and the data of both revisions. The
// source is two blocks of text and a block and a bit of random bytes, which LZ4 stores as they are,
// so that only the block hash can notice a change to them in an unencrypted chain.
const QByteArray First = compressibleBytes(2 * BlockSize) + randomBytes(BlockSize + 100);
const QByteArray Second = QByteArray(First).replace(BlockSize, 10, "changed!!!");

BackupChain backUpChain(Compression::Algorithm compression, Encryption::Algorithm encryption)
{
    const BackupChain chain = BackupChain::take({First, Second}, BlockSize, compression, encryption, Password);
    if (chain.maps.size() != 2)
        throw std::runtime_error("the backup chain could not be taken");
    return chain;
}

// The keys of an authenticated repository; null for the chains of version 4 maps.
const RepositoryKeys Keys{QByteArray(16, 'i'), ZRV::Encryption::KeyDerivation::passwordKey(Password, "salt", 1)};

TamperMatrix::Outcome restore(const QByteArray& map, const QByteArray& data0, const QByteArray& data1,
                              const RepositoryKeys* keys = nullptr)
{
    const QMap<unsigned int, QSharedPointer<QIODevice>> revisions{{0, bufferWith(data0)}, {1, bufferWith(data1)}};
    RevisionStream stream(QSharedPointer<MapStream>::create(bufferWith(map), 1, nullptr), revisions, Password, nullptr);
    if (keys)
        stream.setRepositoryKeys(*keys);
    if (!stream.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return {TamperMatrix::RefusedAtOpen, {}};
    return TamperMatrix::readToEnd(stream);
}

TEST(ChainTamperTest, encryptedChainMap)
{
    const BackupChain chain = backUpChain(Compression::Lz4, Encryption::Aes256);
    ASSERT_EQ(restore(chain.maps[1], chain.data[0], chain.data[1]).data, Second);
    // Every opening unwraps the master key (50000 rounds of key derivation): one change a byte.
    TamperMatrix matrix("encrypted chain map, LZ4 + AES-256", [&](const QList<QByteArray>& files) {
        return restore(files[0], chain.data[0], chain.data[1]);
    });
    matrix.addFile("map", chain.maps[1]);
    matrix.run({0xFF});
    matrix.expectNothingAccepted();
}

// Every byte of a version 5 map is covered by its MAC: every change and every cut is refused
// before anything is read.
TEST(ChainTamperTest, authenticatedChain)
{
    const BackupChain chain = BackupChain::take({First, Second}, BlockSize, Compression::Lz4, Encryption::Aes128, Keys);
    ASSERT_EQ(chain.maps.size(), 2);
    ASSERT_EQ(restore(chain.maps[1], chain.data[0], chain.data[1], &Keys).data, Second);
    TamperMatrix map("authenticated chain map, LZ4 + AES-128", [&](const QList<QByteArray>& files) {
        return restore(files[0], chain.data[0], chain.data[1], &Keys);
    });
    map.addFile("map", chain.maps[1]);
    map.run({0x01, 0x80});
    map.expectNothingAccepted();
    EXPECT_EQ(map.readAsOriginal(), 0);

    // Data 0 also holds the revision 0 block that revision 1 replaced: changes there read back as
    // the original.
    TamperMatrix data("authenticated chain data, LZ4 + AES-128", [&](const QList<QByteArray>& files) {
        return restore(chain.maps[1], files[0], files[1], &Keys);
    });
    data.addFile("data 0", chain.data[0]);
    data.addFile("data 1", chain.data[1]);
    data.run({0x01, 0x80});
    data.expectNothingAccepted();
}

// The map stays as it is, so one opened stream serves every variant of the data: reset() starts
// it again over data devices that were closed and refilled.
class ReopenedRestore
{
public:
    explicit ReopenedRestore(const QByteArray& map)
        : data0_(QSharedPointer<QBuffer>::create())
        , data1_(QSharedPointer<QBuffer>::create())
        , stream_(QSharedPointer<MapStream>::create(bufferWith(map), 1, nullptr), {{0, data0_}, {1, data1_}}, Password,
                  nullptr)
    {
        EXPECT_TRUE(stream_.open(QIODevice::ReadOnly | QIODevice::Unbuffered));
    }

    TamperMatrix::Outcome operator()(const QList<QByteArray>& files)
    {
        for (auto [device, bytes] : {std::make_pair(data0_, files[0]), std::make_pair(data1_, files[1])}) {
            device->close();
            device->setData(bytes);
        }
        EXPECT_TRUE(stream_.reset());
        return TamperMatrix::readToEnd(stream_);
    }

private:
    QSharedPointer<QBuffer> data0_;
    QSharedPointer<QBuffer> data1_;
    RevisionStream stream_;
};

TEST(ChainTamperTest, encryptedChainData)
{
    const BackupChain chain = backUpChain(Compression::Lz4, Encryption::Aes256);
    ReopenedRestore restoreData(chain.maps[1]);
    TamperMatrix matrix("encrypted chain data, LZ4 + AES-256", std::ref(restoreData));
    matrix.addFile("data 0", chain.data[0]);
    matrix.addFile("data 1", chain.data[1]);
    matrix.run({0x01, 0x80, 0xFF});
    matrix.expectNothingAccepted();
}

TEST(ChainTamperTest, compressedUnencryptedChain)
{
    const BackupChain chain = backUpChain(Compression::Lz4, Encryption::NoEncryption);
    ASSERT_EQ(restore(chain.maps[1], chain.data[0], chain.data[1]).data, Second);
    TamperMatrix matrix("unencrypted chain, LZ4",
                        [](const QList<QByteArray>& files) { return restore(files[0], files[1], files[2]); });
    matrix.addFile("map", chain.maps[1]);
    matrix.addFile("data 0", chain.data[0]);
    matrix.addFile("data 1", chain.data[1]);
    matrix.run({0x01, 0x80, 0xFF});
    matrix.expectNothingAccepted();
}

} // namespace
