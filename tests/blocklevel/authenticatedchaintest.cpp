#include "chainfixture.h"
#include "support/backupchain.h"

#include "blocklevel/mapmac.h"
#include "core/exception/invaliddata.h"
#include "encryption/decryptionstream.h"
#include "encryption/keyderivation.h"

#include <QMessageAuthenticationCode>
#include <gtest/gtest.h>

using namespace ChainFixture;
using ZRV::Encryption::KeyDerivation;
namespace Compression = ZRV::Core::Compression;
namespace Encryption = ZRV::Core::Encryption;

namespace {

constexpr unsigned int BlockSize = 256;
constexpr int HeaderSize = 542;
constexpr int RecordSize = MapStream::Data::DataBlockSize;
const QByteArray Salt = QByteArray::fromHex("000102030405060708090a0b0c0d0e0f");

namespace HeaderField {
constexpr int Version = 10;
constexpr int Revision = 14;
constexpr int Length = 18;
} // namespace HeaderField

namespace RecordField {
constexpr int Revision = 16;
constexpr int Used = 20;
} // namespace RecordField

RepositoryKeys repositoryKeys(const QByteArray& id = QByteArray(16, 'r'))
{
    return {id, KeyDerivation::passwordKey("correct horse", Salt, 1000)};
}

const QByteArray First = compressibleBytes(3 * int(BlockSize)) + randomBytes(int(BlockSize) + 40);
const QByteArray Second = QByteArray(First).replace(int(BlockSize) + 3, 6, "second");

BackupChain authenticatedChain(Encryption::Algorithm cipher = Encryption::Aes128)
{
    return BackupChain::take({First, Second}, BlockSize, Compression::Lz4, cipher, repositoryKeys());
}

// Restores revision `revision` from its map and the chain's data; a refusal or an error comes
// back in failure.
QByteArray restoreRevision(const QByteArray& map, unsigned int revision, const QList<QByteArray>& data,
                           const RepositoryKeys& keys, QString* failure)
{
    QMap<unsigned int, QSharedPointer<QIODevice>> devices;
    for (int i = 0; i < data.size(); ++i)
        devices.insert(unsigned(i), bufferWith(data[i]));
    RevisionStream stream(QSharedPointer<MapStream>::create(bufferWith(map), revision, nullptr), devices, "", nullptr);
    stream.setRepositoryKeys(keys);
    QByteArray result;
    try {
        if (!stream.open(QIODevice::ReadOnly)) {
            *failure = stream.errorString();
            return result;
        }
        result = readUntilAtEnd(stream, 4096);
    } catch (const ZRV::Exception::Base& error) {
        *failure = error.message();
    }
    return result;
}

QByteArray hmac(const QByteArray& key, const QByteArray& message)
{
    return QMessageAuthenticationCode::hash(message, key, QCryptographicHash::Sha256);
}

} // namespace

// Values computed with Python's hashlib.pbkdf2_hmac and hmac over the same inputs.
TEST(KeyDerivation, matchesIndependentlyComputedKeys)
{
    const QByteArray passwordKey = KeyDerivation::passwordKey("correct horse", Salt, 1000);
    EXPECT_EQ(passwordKey.toHex(), "c914cc4f06cc6e8f46d157e3a1b5aa7abceebb17bb0444cd4c4ac16ca2ae9864");
    EXPECT_EQ(KeyDerivation::passwordKey("correct horse", Salt, KeyDerivation::DefaultIterations).toHex(),
              "96a5904c2e08c8da42305dbcc5d7cf18ead2636d49f59526b606f26696281473");
    EXPECT_EQ(KeyDerivation::passwordKey("correct horse", Salt, 0),
              KeyDerivation::passwordKey("correct horse", Salt, 1));

    const QList<QPair<const char*, QByteArray>> subkeys = {
        {KeyDerivation::SettingsLabel, "d43e69481e51ea2fbd15e670ba7184d4c6a99b90f786d5970857c8930924b42d"},
        {KeyDerivation::MasterKeyLabel, "bad8825356e41c116450a427d8c88d5b2362cbf22992954fee98a71b4f479c52"},
        {KeyDerivation::BlockEncryptionLabel, "b0909ee5fa585035fd25ef6f094445a75397a5743a40d24aa09da97c56eaddb9"},
        {KeyDerivation::BlockMacLabel, "e8360dca5078c4abbf814dd7196f0199f10fb9f22eef54df6592310d4f4c9c5b"},
        {KeyDerivation::BlockHashLabel, "20372b99859bbaab330cfe2ab63044db54921f659bb29abb85df1c025580fd90"},
        {KeyDerivation::MapMacLabel, "b35ff46ef87a153009c4272f9c7cdd4d4c9ae6830f1ff15b66f0af0aaf288c23"},
    };
    for (const auto& subkey : subkeys)
        EXPECT_EQ(KeyDerivation::subkey(passwordKey, subkey.first).toHex(), subkey.second) << subkey.first;
}

TEST(MapMac, matchesAnIndependentlyComputedTag)
{
    QByteArray mapKey;
    for (char byte = 32; byte < 64; ++byte)
        mapKey += byte;
    MapMac mac(mapKey, QByteArray::fromHex("a0a1a2a3a4a5a6a7a8a9aaabacadaeaf"), 7);
    const QByteArray records(2 * RecordSize, 'R');
    mac.addRecords(records.constData(), 10);
    mac.addRecords(records.constData() + 10, records.size() - 10);
    EXPECT_EQ(mac.finish(QByteArray(HeaderSize, 'H')).toHex(),
              "d242aba1dfca1acd7795891382ef30d98729f5d22a884f1a75b607f4831fcb63");
}

// Reads a written map the way an independent program would, from the documented layout.
TEST(AuthenticatedChain, mapFollowsTheDocumentedLayout)
{
    const BackupChain chain = authenticatedChain();
    ASSERT_EQ(chain.maps.size(), 2);
    const RepositoryKeys keys = repositoryKeys();
    const QByteArray map = chain.maps[1];
    const int blocks = (Second.size() + int(BlockSize) - 1) / int(BlockSize);
    ASSERT_EQ(map.size(), HeaderSize + blocks * RecordSize + 32);
    EXPECT_EQ(map[HeaderField::Version], 5);
    EXPECT_EQ(map[12], 1); // AES-128 blocks

    const int paddingLength = qFromLittleEndian<qint32>(map.constData() + 31);
    ASSERT_EQ(paddingLength, 16 + 48 + 32);
    const QByteArray padding = map.mid(35, paddingLength);
    const QByteArray wrapping = hmac(keys.passwordKey, QByteArray("zrv master key") + '\x01');
    EXPECT_EQ(padding.right(32), hmac(hmac(wrapping, "mac\x01"), padding.chopped(32)));
    ZRV::Stream::DecryptionStream unwrap(openBuffer(padding.mid(16).chopped(32)), Encryption::Aes256,
                                         hmac(wrapping, "encryption\x01"), padding.left(16), Encryption::AllData,
                                         nullptr);
    unwrap.open(QIODevice::ReadOnly);
    const QByteArray masterKey = unwrap.readAll();
    ASSERT_EQ(masterKey.size(), 32);

    const QByteArray records = map.mid(HeaderSize, blocks * RecordSize);
    const QByteArray revisionOne = QByteArray::fromHex("01000000");
    EXPECT_EQ(map.right(32),
              hmac(hmac(masterKey, QByteArray("zrv map mac") + '\x01'),
                   keys.repositoryId + revisionOne + records + map.left(HeaderSize)));
    const QByteArray hashKey = hmac(masterKey, QByteArray("zrv block hash") + '\x01');
    for (int i = 0; i < blocks; ++i)
        EXPECT_EQ(map.mid(recordAt(i), 16), hmac(hashKey, Second.mid(i * int(BlockSize), int(BlockSize))).left(16))
            << "record " << i;
}

TEST(AuthenticatedChain, restoresEveryRevisionAndStoresOnlyChangedBlocks)
{
    for (Encryption::Algorithm cipher : {Encryption::Aes128, Encryption::Aes192, Encryption::Aes256}) {
        SCOPED_TRACE(cipher);
        const BackupChain chain = authenticatedChain(cipher);
        ASSERT_EQ(chain.maps.size(), 2);
        QString failure;
        EXPECT_EQ(restoreRevision(chain.maps[0], 0, chain.data, repositoryKeys(), &failure), First);
        EXPECT_EQ(restoreRevision(chain.maps[1], 1, chain.data, repositoryKeys(), &failure), Second);
        EXPECT_EQ(failure, QString());
        // Only block 1 changed: the other records still name revision 0.
        for (int i = 0; i < 5; ++i)
            EXPECT_EQ(qFromLittleEndian<quint32>(chain.maps[1].constData() + recordAt(i) + RecordField::Revision),
                      i == 1 ? 1u : 0u)
                << "record " << i;
    }
}

// Each attack of someone who can write to the repository but does not know its password.
TEST(AuthenticatedChain, refusesEveryRearrangedMap)
{
    const BackupChain chain = authenticatedChain();
    const BackupChain plainChain =
        BackupChain::take({First, Second}, BlockSize, Compression::Lz4, Encryption::Aes128, "correct horse");
    const BackupChain otherRepository = BackupChain::take({First, Second}, BlockSize, Compression::Lz4,
                                                          Encryption::Aes128, repositoryKeys(QByteArray(16, 'o')));
    const QByteArray map = chain.maps[1];
    const QByteArray record0 = map.mid(recordAt(0), RecordSize);
    const QByteArray record1 = map.mid(recordAt(1), RecordSize);
    QByteArray swapped = map;
    swapped.replace(recordAt(0), RecordSize, record1).replace(recordAt(1), RecordSize, record0);
    QByteArray unused = patched<quint8>(map, recordAt(2) + RecordField::Used, 0);
    unused.replace(recordAt(2), 16, QByteArray(16, '\0'));
    const qint64 length = qFromLittleEndian<quint64>(map.constData() + HeaderField::Length);

    const QString refused = "Map fails its authentication";
    struct Attack
    {
        const char* name;
        QByteArray map;
        QString refusal;
    };
    const QList<Attack> attacks = {
        {"swappedRecords", swapped, refused},
        {"copiedRecord", QByteArray(map).replace(recordAt(0), RecordSize, record1), refused},
        {"copiedMapFile", chain.maps[0], "Map names revision 0 instead of 1"},
        {"copiedMapFileWithItsRevisionPatched", patched<quint32>(chain.maps[0], HeaderField::Revision, 1), refused},
        {"lowerLength", patched<quint64>(map, HeaderField::Length, quint64(length - 5)), refused},
        {"clearedUsedFlagAndZeroedHash", unused, refused},
        {"appendedByte", map + 'x', refused},
        {"droppedLastRecord", map.left(recordAt(4)) + map.right(32), "Map ends before its last record"},
        {"otherRepository", otherRepository.maps[1], refused},
        {"versionFourMap", plainChain.maps[1], "Map version 4 in an authenticated repository"},
    };
    for (const Attack& attack : attacks) {
        SCOPED_TRACE(attack.name);
        QString failure;
        EXPECT_EQ(restoreRevision(attack.map, 1, chain.data, repositoryKeys(), &failure), QByteArray());
        EXPECT_EQ(failure, attack.refusal);
    }

    // Without the repository's keys a version 5 map is not read at all.
    QString failure;
    EXPECT_EQ(restore({{1, map, chain.data[1]}}, {1, map, chain.data[1]}, "correct horse", false, &failure),
              QByteArray());
    EXPECT_EQ(failure, "Map version 5 can only be read with its repository's keys");
}

// Stored blocks are bound to their records by the keyed block hash, so sealed blocks moved
// within or between data files do not restore either.
TEST(AuthenticatedChain, refusesMovedStoredBlocks)
{
    // Without compression every whole block is stored in the same number of bytes.
    const BackupChain chain =
        BackupChain::take({First, Second}, BlockSize, Compression::None, Encryption::Aes256, repositoryKeys());
    const int stored = 16 + int(BlockSize) + 16 + 32;
    QByteArray swapped = chain.data[0];
    swapped.replace(0, stored, chain.data[0].mid(stored, stored)).replace(stored, stored, chain.data[0].left(stored));
    struct Attack
    {
        const char* name;
        unsigned int revision;
        QList<QByteArray> data;
        QString refusal;
    };
    const QList<Attack> attacks = {
        {"swappedStoredBlocks", 0, {swapped}, "Block 0 does not match its hash"},
        {"revisionZeroDataAsRevisionOne", 1, {chain.data[0], chain.data[0]}, "Block 1 does not match its hash"},
        {"revisionOneDataCutShort",
         1,
         {chain.data[0], chain.data[1].chopped(1)},
         "Data of revision 1 ends inside block 1"},
    };
    for (const Attack& attack : attacks) {
        SCOPED_TRACE(attack.name);
        QString failure;
        const QByteArray& map = chain.maps[int(attack.revision)];
        EXPECT_EQ(restoreRevision(map, attack.revision, attack.data, repositoryKeys(), &failure), QByteArray());
        EXPECT_EQ(failure, attack.refusal);
    }
}

TEST(AuthenticatedChain, runRefusesToGoUnencryptedOrToContinueAnOlderMap)
{
    const Settings plain;
    BackupRun run = backupRun(plain, bufferWith("abc"), nullptr);
    run.stream->setRepositoryKeys(repositoryKeys());
    EXPECT_FALSE(run.stream->open(QIODevice::ReadOnly));
    EXPECT_EQ(run.stream->errorString(), "Block-level backup into an authenticated repository needs encryption");

    const BackupChain versionFour =
        BackupChain::take({First}, BlockSize, Compression::Lz4, Encryption::Aes128, "correct horse");
    const Settings aes{Variant::File, Compression::Lz4, Encryption::Aes128, "correct horse", BlockSize};
    BackupRun continued = backupRun(aes, bufferWith(Second), openMap(versionFour.maps[0]));
    continued.stream->setRepositoryKeys(repositoryKeys());
    EXPECT_THROW(continued.stream->open(QIODevice::ReadOnly), ZRV::Exception::InvalidData);
}

// A run numbers its map from the previous one; a map made for another revision is not closed
// with a MAC that a reader of that file name would accept.
TEST(AuthenticatedChain, writerRefusesToFinishAMapOfAnotherRevision)
{
    const BackupChain chain = authenticatedChain();
    auto outMap = QSharedPointer<MapStream>::create(QSharedPointer<QBuffer>::create(), 1, nullptr);
    DifferentialFileDataStream stream(bufferWith(Second), outMap,
                                      QSharedPointer<MapStream>::create(bufferWith(chain.maps[1]), 1, nullptr),
                                      Compression::Lz4, Encryption::Aes128, QByteArray(), nullptr);
    stream.setRepositoryKeys(repositoryKeys());
    ASSERT_TRUE(stream.open(QIODevice::ReadOnly));
    readUntilAtEnd(stream, 1 << 16);
    EXPECT_FALSE(outMap->finish());
    EXPECT_EQ(outMap->errorString(), "Map header names revision 2 instead of 1");
}
