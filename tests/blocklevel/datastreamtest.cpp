#include "chainfixture.h"
#include "core/encryption/key.h"
#include "encryption/passwordbasedmasterkeyencryptor.h"
#include "stream/exception/erroroperation.h"
#include "support/logcapture.h"
#include "support/trickledevice.h"

#include <QCryptographicHash>
#include <QMessageAuthenticationCode>
#include <gtest/gtest.h>

using namespace ChainFixture;
namespace Compression = ZRV::Core::Compression;
namespace Encryption = ZRV::Core::Encryption;

namespace {

BackupRun opened(const Settings& settings, const QByteArray& previousMap = QByteArray(),
                 QSharedPointer<QIODevice> source = QSharedPointer<QBuffer>::create())
{
    BackupRun run = backupRun(settings, source, previousMap.isEmpty() ? nullptr : openMap(previousMap));
    run.stream->open(QIODevice::ReadOnly);
    return run;
}

QByteArray masterKeyOf(const MapStream::Header& header, const QByteArray& password)
{
    return ZRV::Encryption::PasswordBasedMasterKeyEncryptor(header.encryptionAlgorithm(), password)
        .fromStream(header.keyPadding());
}

} // namespace

TEST(DataStream, refusesWhatTheMapCannotRecord)
{
    const QList<QPair<Settings, QString>> cases = {
        {{Variant::File, Compression::Algorithm(2)}, "compression algorithm 2"},
        {{Variant::File, Compression::Lz4Flagged}, "compression algorithm 4"},
        {{Variant::File, Compression::None, Encryption::Des}, "encryption algorithm 0"},
        {{Variant::File, Compression::None, Encryption::Algorithm(7)}, "encryption algorithm 7"},
    };
    for (const auto& refused : cases) {
        LogCapture log;
        const BackupRun run = opened(refused.first);
        const QString message = "Block-level backup does not support " + refused.second;
        EXPECT_FALSE(run.stream->isOpen());
        EXPECT_FALSE(run.outMap->isOpen());
        EXPECT_EQ(run.stream->errorString(), message);
        EXPECT_TRUE(log.contains(QtCriticalMsg, "on open BlockLevel data stream: \"" + message + "\""));
    }
}

TEST(DataStream, decidesBetweenIncrementalAndFull)
{
    // blockSize: the previous map's 32 once the run took over its header.
    struct Case
    {
        Settings previous, next;
        bool full;
        unsigned int blockSize;
        const char* line;
    };
    const Settings plain;
    const Settings aes256{Variant::File, Compression::None, Encryption::Aes256};
    const QList<Case> cases = {
        {plain, plain, false, 32, nullptr},
        {aes256, aes256, false, 32, nullptr},
        {plain, {Variant::File, Compression::Lz4}, true, 64, "BL modification is changed, do full.."},
        {plain, aes256, true, 64, "Encryption algorithm is changed! do FULL!"},
        {aes256, plain, true, 64, "Encryption algorithm is changed! do FULL!"},
        {aes256,
         {Variant::File, Compression::None, Encryption::Aes128},
         true,
         64,
         "Encryption algorithm is changed! do FULL!"},
        {aes256,
         {Variant::File, Compression::None, Encryption::Aes256, "wrong"},
         true,
         32,
         "Init new encryption, and do full"},
    };
    for (const Case& c : cases) {
        Settings previous = c.previous;
        previous.blockSize = 32;
        const QByteArray previousMap = backup(previous, "abc", nullptr).map;
        LogCapture log;
        const BackupRun run = opened(c.next, previousMap);
        const MapStream::Header& out = *run.outMap->header();
        EXPECT_TRUE(run.stream->isOpen());
        EXPECT_EQ(run.stream->isFull(), c.full);
        EXPECT_EQ(out.revision(), 2u);
        EXPECT_EQ(out.blockSize(), c.blockSize);
        EXPECT_EQ(out.encryptionAlgorithm(), c.next.encryption);
        EXPECT_EQ(out.keyPadding() == openMap(previousMap)->keyPadding(), !c.full);
        EXPECT_TRUE(!c.line || log.contains(QtInfoMsg, c.line)) << c.line;
        if (c.next.encryption != Encryption::NoEncryption) {
            EXPECT_EQ(masterKeyOf(out, c.next.password).size(), Encryption::Key::length(c.next.encryption));
        }
    }
}

TEST(DataStream, storedBlockIsIvCiphertextAndTag)
{
    EXPECT_EQ(opened(Settings()).stream->blockModification("block", 0), "block");

    const BackupRun sealed = opened({Variant::File, Compression::None, Encryption::Aes256});
    const QByteArray stored = sealed.stream->blockModification(QByteArray(40, 'p'), 0);
    EXPECT_EQ(stored.size(), 16 + 48 + 32);
    const QByteArray integrityKey =
        QCryptographicHash::hash(masterKeyOf(*sealed.outMap->header(), "secret"), QCryptographicHash::Sha256);
    EXPECT_EQ(stored.right(32),
              QMessageAuthenticationCode::hash(stored.chopped(32), integrityKey, QCryptographicHash::Sha256));
}

TEST(DataStream, plainBlocksAreStoredBackToBackWhateverTheSourceReads)
{
    const QByteArray source = QByteArray(300, 'a') + QByteArray(8, 'b');
    for (Variant variant : {Variant::Ibb, Variant::File}) {
        const Settings settings{variant, Compression::None, Encryption::NoEncryption, "", 128};
        const Revision revision = backup(settings, source, nullptr, {}, variant == Variant::Ibb ? 128 : 100);
        EXPECT_EQ(revision.data, source);
        const QList<MapStream::Data> written = records(revision.map);
        ASSERT_EQ(written.size(), 3);
        for (int i = 0; i < 3; ++i) // restores check offsets and lengths, but not that the hash is MD5
            EXPECT_EQ(written[i].hash(), QCryptographicHash::hash(source.mid(128 * i, 128), QCryptographicHash::Md5));

        // Three bytes per read, or reads that come back empty before the end (a pipe, a socket),
        // give the same blocks; a failing read ends the run with its error.
        struct Case
        {
            const char* name;
            qint64 failAt;
            bool stalling;
        };
        for (const Case& c : {Case{"trickle", -1, false}, Case{"stalling", -1, true}, Case{"failing", 200, false}}) {
            SCOPED_TRACE(c.name);
            const auto trickle = QSharedPointer<TrickleDevice>::create(source, 3, c.failAt);
            trickle->setStalling(c.stalling);
            const BackupRun run = opened(settings, QByteArray(), trickle);
            QByteArray data;
            try {
                while (!run.stream->atEnd())
                    data += run.stream->read(128);
            } catch (const ZRV::Stream::Exception::ErrorOperation& error) {
                EXPECT_EQ(error.message(), "Error on read source data: trickle device failed");
            }
            EXPECT_EQ(data, source.left(c.failAt < 0 ? source.size() : int(c.failAt)));
            if (c.failAt < 0) {
                run.outMap->close();
                EXPECT_EQ(run.mapFile->data(), revision.map);
            }
        }
    }
}

// A source that ends before the size it announced (a file that shrank while it was read) would
// give a revision of a source that never existed.
TEST(DataStream, sourceEndingBeforeItsAnnouncedSizeFailsTheRun)
{
    const QByteArray source(300, 's');
    for (Variant variant : {Variant::Ibb, Variant::File}) {
        const Settings settings{variant, Compression::None, Encryption::NoEncryption, "", 64};
        struct Case
        {
            const char* name;
            QSharedPointer<QIODevice> source;
            qint64 announced;
            qint64 delivered;
        };
        const auto shrinking = bufferWith(source);
        const QList<Case> cases = {
            {"fileCutAfterOpen", shrinking, -1, 128},
            {"pipeShortOfTheToldSize", QSharedPointer<TrickleDevice>::create(source, 50), 400, 300},
            {"pipeOfTheToldSize", QSharedPointer<TrickleDevice>::create(source, 50), 300, -1},
        };
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.name) + (variant == Variant::Ibb ? " ibb" : " file"));
            BackupRun run = backupRun(settings, c.source, nullptr);
            if (c.announced >= 0)
                run.stream->setSourceSize(c.announced);
            ASSERT_TRUE(run.stream->open(QIODevice::ReadOnly));
            if (c.source == shrinking)
                shrinking->buffer().truncate(int(c.delivered));
            QString failure;
            try {
                while (!run.stream->atEnd())
                    run.stream->read(64);
            } catch (const ZRV::Stream::Exception::ErrorOperation& error) {
                failure = error.message();
            }
            const qint64 told = c.announced >= 0 ? c.announced : source.size();
            EXPECT_EQ(failure,
                      c.delivered < 0 ? QString()
                                      : QString("Error on read source data: the source ended after %1 of its "
                                                "%2 bytes: it shrank during the run")
                                            .arg(c.delivered)
                                            .arg(told));
        }
    }
}

// Another writer records encryption code 3 for every encrypted map and wraps the key padding with
// AES-256, whatever cipher the blocks use. Our writer names the block cipher in the code and wraps
// with it, so continuing such a chain with another code must not carry the padding over.
TEST(DataStream, otherWritersChainContinuedWithAnotherCodeStartsAFullRun)
{
    const Settings aes128{Variant::File, Compression::None, Encryption::Aes128};
    const QByteArray source(3 * 64 + 5, 'd');
    Revision first = backup(aes128, source, nullptr);
    auto map = openMap(first.map);
    MapStream::Header header = *map->header();
    const QByteArray masterKey = masterKeyOf(header, aes128.password);
    ASSERT_EQ(masterKey.size(), 16);
    header.setEncryptionAlgorithm(Encryption::Aes256);
    header.setKeyPadding(
        ZRV::Encryption::PasswordBasedMasterKeyEncryptor(Encryption::Aes256, aes128.password).toStream(masterKey));
    const QByteArray headerBytes = encode(header);
    first.map.replace(0, headerBytes.size(), headerBytes);

    LogCapture log;
    QList<Revision> chain{first, backup(aes128, source, &first)};
    EXPECT_TRUE(log.contains(QtInfoMsg, "Encryption algorithm is changed! do FULL!"));
    EXPECT_EQ(records(chain[1].map)[0].revision(), 2u);
    EXPECT_EQ(restore(chain, chain[1], aes128.password), source);
}

TEST(DataStreamIbb, readsNothingForLessThanABlockAndRecordsUnusedBlocks)
{
    const auto source = bufferWith(QByteArray(100, 'x'));
    char byte;
    EXPECT_EQ(opened({Variant::Ibb}, QByteArray(), source).stream->read(&byte, 63), 0);
    EXPECT_EQ(source->pos(), 0);

    const QList<MapStream::Data> written = records(backup({Variant::Ibb}, QByteArray(130, 'u'), nullptr, {1}).map);
    EXPECT_FALSE(written[1].isUsed());
    EXPECT_EQ(written[1].length(), 0u);
    EXPECT_EQ(written[1].offset(), 0u);
    EXPECT_EQ(written[1].hash(), QByteArray(16, '\0'));
    EXPECT_EQ(written[2].offset(), 64u);
}

TEST(DataStream, truncatedPreviousMapOnlyStoresTheUnknownBlocksAgain)
{
    const Settings settings{Variant::File, Compression::Lz4, Encryption::Aes192};
    const QByteArray source(4 * 64, 's');
    QList<Revision> chain{backup(settings, source, nullptr)};
    Revision truncated = chain[0];
    truncated.map.chop(MapStream::Data::DataBlockSize);
    chain << backup(settings, source, &truncated);
    EXPECT_EQ(records(chain[1].map)[3].revision(), 2u);
    EXPECT_EQ(records(chain[1].map)[2].revision(), 1u);
    EXPECT_EQ(restore(chain, chain[1], settings.password), source);
}
