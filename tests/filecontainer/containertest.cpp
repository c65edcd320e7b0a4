#include "core/encryption/key.h"
#include "filecontainer/checkversion.h"
#include "filecontainer/openunpackage.h"
#include "filecontainer/version1/package.h"
#include "filecontainer/version1/unpackage.h"
#include "filecontainer/version2/header.h"
#include "filecontainer/version2/package.h"
#include "filecontainer/version2/unpackage.h"
#include "stream/exception/erroroperation.h"
#include "support/externaltool.h"
#include "support/logcapture.h"
#include "support/streamtesting.h"
#include "support/trickledevice.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QFile>
#include <QTemporaryFile>
#include <gtest/gtest.h>
#include <map>

using namespace ZRV::Stream::FileContainer;
using namespace ZRV::Core::Encryption;

namespace {

// A container of the data made by the package of `version`, read in requests of `chunk` bytes.
QByteArray pack(int version, Algorithm algorithm, bool compressed, const QByteArray& data, int chunk = 4096)
{
    QScopedPointer<Base> package;
    if (version == 1)
        package.reset(new V1::Package(bufferWith(data), data.size(), algorithm, "secret", compressed, nullptr));
    else
        package.reset(new V2::Package(bufferWith(data), data.size(), algorithm, "secret", compressed, nullptr));
    EXPECT_TRUE(package->open(QIODevice::ReadOnly)) << package->errorString().toStdString();
    return readInSteps(*package, chunk);
}

struct Unpacked
{
    bool opened = false;
    QString error;
    QByteArray data;
    bool valid = false;
    quint64 realSize = 0;
};

// Unpacks with the unpackage of `version` from `source`, reading in requests of `chunk` bytes.
Unpacked unpack(int version, QSharedPointer<QIODevice> source, const QByteArray& password = "secret", int chunk = 4096)
{
    Unpacked result;
    QScopedPointer<UnpackageBase> unpackage(version == 1
                                                ? static_cast<UnpackageBase*>(new V1::Unpackage(source, password))
                                                : new V2::Unpackage(source, password));
    result.opened = unpackage->open(QIODevice::ReadOnly);
    result.error = unpackage->errorString();
    if (!result.opened)
        return result;
    result.data = readInSteps(*unpackage, chunk);
    result.valid = unpackage->validate();
    result.realSize = unpackage->realSize();
    return result;
}

// Size of a container of n uncompressed bytes: header, then with a cipher the wrapped keys
// (version 2), header tag (version 2), IV, padded ciphertext and trailer (version 2).
int uncompressedSize(int version, Algorithm algorithm, int n)
{
    QScopedPointer<V1::Header> header(version == 1 ? new V1::Header(algorithm, Key::randomSalt(), false, 0, "")
                                                   : new V2::Header(algorithm, Key::randomSalt(), false, 0, ""));
    if (algorithm == NoEncryption)
        return header->getSize() + n;
    const int block = Key::ivLength(algorithm);
    const int sealed = version == 1 ? 0 : 3 * Key::length(algorithm) + 32 + 32;
    return header->getSize() + sealed + block + (n / block + 1) * block;
}

} // namespace

using ContainerRoundTrip = testing::TestWithParam<std::tuple<int, int, bool>>;

// Packages and unpackages read in requests of one byte until atEnd() deliver every byte, whatever
// the inner stages keep in Qt's read buffers.
TEST_P(ContainerRoundTrip, yieldsTheDataBack)
{
    const auto [version, cipher, compressed] = GetParam();
    const auto algorithm = Algorithm(cipher);
    const QByteArray data = compressibleBytes(70000);
    const QByteArray container = pack(version, algorithm, compressed, data, 1);
    if (!compressed) {
        EXPECT_EQ(container.size(), uncompressedSize(version, algorithm, data.size()));
    }

    auto device = bufferWith(container);
    device->open(QIODevice::ReadOnly);
    EXPECT_EQ(CheckVersion::check(device), version);
    EXPECT_EQ(device->pos(), 0);
    const Unpacked unpacked = unpack(version, device, "secret", 1);
    ASSERT_TRUE(unpacked.opened) << unpacked.error.toStdString();
    EXPECT_EQ(unpacked.data, data);
    EXPECT_TRUE(unpacked.valid);
    EXPECT_EQ(unpacked.realSize, quint64(data.size()));

    // A pipe-like source, which can neither seek nor open again and brings a few bytes per read
    // or none at all while more is to come, gives the same.
    auto pipe = QSharedPointer<TrickleDevice>::create(container, 3);
    pipe->setStalling(true);
    const Unpacked piped = unpack(version, pipe);
    EXPECT_EQ(piped.data, data);
    EXPECT_TRUE(piped.valid);
}

INSTANTIATE_TEST_SUITE_P(EveryCipher, ContainerRoundTrip,
                         testing::Combine(testing::Values(1, 2), testing::Range(0, 7), testing::Bool()));

// With workers the gzip stage compresses in pieces and the HMAC runs on a thread of its own: a
// compressed payload changes (and is the same for every count above one), an uncompressed one
// does not; the data, the verdict of validate() and the refusals stay those of one worker.
TEST(Container, workersKeepTheDataAndTheVerdicts)
{
    const QByteArray data = compressibleBytes(700001);
    const QByteArray iv(16, 'i'), salt(8, 's'), keys = QByteArray(32, 'k') + QByteArray(32, 'm');
    for (const auto& [algorithm, compressed] :
         {std::pair{Aes256, true}, std::pair{Aes256, false}, std::pair{NoEncryption, true}}) {
        SCOPED_TRACE(testing::Message() << "algorithm " << algorithm << (compressed ? " gzip" : ""));
        std::map<int, QByteArray> containers;
        for (int workers : {1, 2, 4}) {
            V2::Package package(bufferWith(data), data.size(), algorithm, "secret", compressed, iv, salt, keys);
            package.setWorkerCount(workers);
            ASSERT_TRUE(package.open(QIODevice::ReadOnly));
            containers[workers] = readInSteps(package, 65536);
        }
        EXPECT_EQ(containers[2], containers[4]);
        EXPECT_EQ(containers[1] == containers[2], !compressed);

        const int payloadMiddle = containers[2].size() / 2;
        const std::pair<const char*, QByteArray> variants[] = {
            {"intact", containers[2]},
            {"payloadFlipped", flipped(containers[2], payloadMiddle)},
            {"trailerFlipped", flipped(containers[2], containers[2].size() - 1)},
        };
        for (const auto& [name, container] : variants) {
            SCOPED_TRACE(name);
            Unpacked verdicts[2];
            for (int workers : {1, 2}) {
                Unpacked& result = verdicts[workers - 1];
                V2::Unpackage unpackage(bufferWith(container), "secret");
                unpackage.setWorkerCount(workers);
                ASSERT_TRUE(unpackage.open(QIODevice::ReadOnly));
                try {
                    result.data = readInSteps(unpackage, 65536);
                } catch (const ZRV::Exception::Base& e) {
                    result.error = e.message();
                }
                result.valid = unpackage.validate();
            }
            EXPECT_EQ(verdicts[1].data, verdicts[0].data);
            EXPECT_EQ(verdicts[1].error, verdicts[0].error);
            EXPECT_EQ(verdicts[1].valid, verdicts[0].valid);
            if (name == std::string("intact")) {
                EXPECT_TRUE(verdicts[1].valid && verdicts[1].error.isEmpty());
                EXPECT_EQ(verdicts[1].data, data);
            } else {
                EXPECT_TRUE(!verdicts[1].valid || !verdicts[1].error.isEmpty());
            }
        }
    }
}

TEST(Container, plainContainerCarriesDataAfterHeader)
{
    const QByteArray data = compressibleBytes(1000);
    EXPECT_EQ(pack(1, NoEncryption, false, data), V1::Header(NoEncryption, "", false, 1000, "").byteArray() + data);
    EXPECT_EQ(pack(2, NoEncryption, false, data), V2::Header(NoEncryption, "", false, 1000, "").byteArray() + data);
}

TEST(Container, checksPositionAfterHeader)
{
    LogCapture log;
    const Unpacked unpacked = unpack(2, bufferWith(pack(2, NoEncryption, true, "abc")));
    EXPECT_EQ(unpacked.data, "abc");
    EXPECT_TRUE(log.contains(QtDebugMsg, "Stream position after header read: 45 / 45"));
    EXPECT_FALSE(log.texts().filter("Set/correct stream position:").size());
}

TEST(Container, givenKeysReproduceTheContainer)
{
    const QByteArray data = compressibleBytes(3000), keys = Key::randomKey(Aes192) + Key::randomKey(Aes192);
    const auto packWith = [&](const QByteArray& payloadKeys) {
        V2::Package package(bufferWith(data), data.size(), Aes192, "pw", true, QByteArray(16, 'i'), QByteArray(16, 's'),
                            payloadKeys, nullptr);
        return package.open(QIODevice::ReadOnly) ? readInSteps(package, 4096) : package.errorString().toUtf8();
    };
    const QByteArray container = packWith(keys);
    EXPECT_EQ(packWith(keys), container);
    EXPECT_EQ(unpack(2, bufferWith(container), "pw").data, data);
    // Keys of another length would wrap to bytes whose end no reader could find.
    EXPECT_EQ(packWith(keys + "x"), "Payload keys of 49 bytes given where the cipher needs two keys of 24 bytes");
}

TEST(Container, wrongPassword)
{
    const QByteArray data = compressibleBytes(5000), container = pack(2, Aes256, true, data);
    LogCapture log;
    const Unpacked v2 = unpack(2, bufferWith(container), "wrong");
    EXPECT_FALSE(v2.opened);
    EXPECT_EQ(v2.error, "Incorrect decryption password (Container header is corrupted)");
    EXPECT_EQ(log.texts(),
              QStringList(
                  {"Container header is corrupted", "Incorrect decryption password (Container header is corrupted)"}));

    // Version 1 has no header tag: the cipher finds a bad padding, or the data come out wrong.
    V1::Unpackage v1(bufferWith(pack(1, Aes256, false, data)), "wrong", nullptr);
    ASSERT_TRUE(v1.open(QIODevice::ReadOnly));
    try {
        EXPECT_NE(v1.readAll(), data);
    } catch (const ZRV::Stream::Exception::ErrorOperation& e) {
        EXPECT_EQ(e.message(), "Incorrect decryption password");
        EXPECT_EQ(v1.errorString(), "Incorrect decryption password");
    }
}

// Every byte flip and cut of a container is tried by the hardening tamper matrix; these are the
// cuts whose messages callers show, and the trailer, whose damage leaves the data intact.
TEST(Container, cutVersion2AndBadTrailer)
{
    const QByteArray data = compressibleBytes(5000), container = pack(2, Aes256, false, data);
    const int head = uncompressedSize(2, Aes256, 0) - 48; // header, tag and IV
    const int tag = head - 16 - 32;
    struct Case
    {
        const char* name;
        QByteArray bytes;
        QString openError;
    };
    const Case cases[] = {
        {"headerCutShort", container.left(60), "Container header is cut short"},
        {"cutInsideTag", container.left(tag + 10), "Container header is cut short"},
        {"cutInsideIv", container.left(head - 3), "Container ends inside the IV"},
        {"trailer", flipped(container, container.size() - 1), ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Unpacked unpacked = unpack(2, bufferWith(c.bytes));
        EXPECT_EQ(unpacked.opened, c.openError.isEmpty());
        EXPECT_EQ(unpacked.error, c.openError.isEmpty() ? "Unknown error" : c.openError);
        EXPECT_FALSE(unpacked.valid);
        EXPECT_EQ(unpacked.data, c.openError.isEmpty() ? data : QByteArray());
    }
}

// Without a trailer, the gzip checks are all that guard the data: damage must fail the read,
// never end the data early.
TEST(Container, damagedUnencryptedGzipPayloadFailsTheRead)
{
    const QByteArray data = compressibleBytes(100000);
    for (int version : {1, 2}) {
        const QByteArray container = pack(version, NoEncryption, true, data);
        const int size = container.size();
        const struct
        {
            const char* name;
            QByteArray bytes;
        } rows[] = {
            {"deflateFlipped", flipped(container, size / 2, 0x10)},
            {"crcFlipped", flipped(container, size - 8)},
            {"lengthFlipped", flipped(container, size - 1)},
            {"cutInsideDeflate", container.left(size / 2)},
            {"cutAfterHeader", container.left(version == 1 ? 37 : 45)},
        };
        for (const auto& row : rows) {
            SCOPED_TRACE(testing::Message() << "version " << version << " " << row.name);
            auto pipe = QSharedPointer<TrickleDevice>::create(row.bytes, 1000);
            QScopedPointer<Base> unpackage(version == 1 ? static_cast<Base*>(new V1::Unpackage(pipe, "", nullptr))
                                                        : new V2::Unpackage(pipe, "", nullptr));
            ASSERT_TRUE(unpackage->open(QIODevice::ReadOnly));
            try {
                readInSteps(*unpackage, 4096);
                ADD_FAILURE() << "damage not reported";
            } catch (const ZRV::Stream::Exception::ErrorOperation& e) {
                EXPECT_TRUE(e.message().contains("gzip data")) << e.message().toStdString();
                EXPECT_EQ(unpackage->errorString(), e.message());
            }
        }
    }
}

// A package holds its source to the size it records, so that what it writes reads back as
// whole; 0 records no size.
TEST(Container, packageFailsWhenTheSourceDeliversAnotherSizeThanRecorded)
{
    const QByteArray data = compressibleBytes(50000);
    const struct
    {
        const char* name;
        qint64 recorded;
        QString error;
    } rows[] = {
        {"sourceGrew", 49999, "The data to pack grew beyond the 49999 bytes recorded in the container header"},
        {"sourceShrank", 50001,
         "The data to pack ended after 50000 of the 50001 bytes recorded in the container header"},
        {"noSizeRecorded", 0, ""},
        {"exactSize", 50000, ""},
    };
    for (int version : {1, 2}) {
        for (int cipher : {int(NoEncryption), int(Aes128)}) {
            for (bool compressed : {false, true}) {
                for (const auto& row : rows) {
                    SCOPED_TRACE(testing::Message() << "version " << version << " cipher " << cipher
                                                    << (compressed ? " gzip " : " ") << row.name);
                    auto source = QSharedPointer<TrickleDevice>::create(data, 777);
                    QScopedPointer<Base> package;
                    if (version == 1)
                        package.reset(
                            new V1::Package(source, row.recorded, Algorithm(cipher), "pw", compressed, nullptr));
                    else
                        package.reset(
                            new V2::Package(source, row.recorded, Algorithm(cipher), "pw", compressed, nullptr));
                    ASSERT_TRUE(package->open(QIODevice::ReadOnly));
                    try {
                        const QByteArray container = readInSteps(*package, 4096);
                        EXPECT_TRUE(row.error.isEmpty()) << "no error";
                        EXPECT_EQ(unpack(version, bufferWith(container), "pw").data, data);
                    } catch (const ZRV::Stream::Exception::ErrorOperation&) {
                        EXPECT_TRUE(package->errorString().endsWith(row.error) && !row.error.isEmpty())
                            << package->errorString().toStdString();
                    }
                }
            }
        }
    }
}

// Readers compare a recorded size with the bytes they read, version 1 included.
TEST(Container, recordedSizeOtherThanTheDataFailsValidation)
{
    const QByteArray data = compressibleBytes(1000);
    for (int version : {1, 2}) {
        for (bool compressed : {false, true}) {
            SCOPED_TRACE(testing::Message() << "version " << version << (compressed ? " gzip" : ""));
            const QByteArray container = pack(version, NoEncryption, compressed, data);
            const int sizeField = 28;
            for (qint64 recorded : {999, 1001}) {
                const Unpacked unpacked = unpack(version, bufferWith(patched(container, sizeField, recorded)));
                EXPECT_EQ(unpacked.data, data);
                EXPECT_FALSE(unpacked.valid) << recorded;
            }
            EXPECT_TRUE(unpack(version, bufferWith(patched(container, sizeField, qint64(0)))).valid);
        }
    }
}

// One call opens a container of either version from any device, reading its first bytes once.
TEST(OpenUnpackage, picksTheVersionAndAsksForAPasswordOnlyWhenEncrypted)
{
    const QByteArray data = compressibleBytes(20000);
    const struct
    {
        const char* name;
        int version;
        Algorithm cipher;
        bool compressed;
    } rows[] = {
        {"v1Gzip", 1, NoEncryption, true},
        {"v1Des", 1, Des, false},
        {"v2Plain", 2, NoEncryption, false},
        {"v2Aes256Gzip", 2, Aes256, true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        auto pipe = QSharedPointer<TrickleDevice>::create(pack(row.version, row.cipher, row.compressed, data), 7);
        pipe->setStalling(true);
        int asked = 0;
        const auto unpackage = openUnpackage(pipe, [&asked] {
            ++asked;
            return QByteArray("secret");
        });
        ASSERT_TRUE(unpackage->isOpen()) << unpackage->errorString().toStdString();
        EXPECT_EQ(asked, row.cipher == NoEncryption ? 0 : 1);
        EXPECT_EQ(unpackage->metaObject()->className(),
                  QString("ZRV::Stream::FileContainer::V%1::Unpackage").arg(row.version));
        EXPECT_EQ(readInSteps(*unpackage, 4096), data);
        EXPECT_TRUE(unpackage->validate());
        EXPECT_EQ(unpackage->realSize(), quint64(data.size()));
    }

    QByteArray version3 = pack(2, NoEncryption, false, "data");
    version3[16] = 3;
    const std::pair<QByteArray, QString> refused[] = {
        {"", "CryptoContainerV1Header Signatures not equal"},
        {"not a container at all, just text", "CryptoContainerV1Header Signatures not equal"},
        {version3, "Unknown header version 3. Last known version is a 2"},
        {pack(2, Aes128, false, data), "Incorrect decryption password (Container header is corrupted)"},
    };
    for (const auto& [bytes, error] : refused) {
        LogCapture log;
        const auto unpackage = openUnpackage(QSharedPointer<TrickleDevice>::create(bytes, 5), "wrong");
        EXPECT_FALSE(unpackage->isOpen());
        EXPECT_EQ(unpackage->errorString(), error);
    }
    const auto missing = openUnpackage(QSharedPointer<QFile>::create("/nonexistent/zrv/container"), "");
    EXPECT_FALSE(missing->isOpen());
    EXPECT_EQ(missing->errorString(), "No such file or directory");
}

// A process's output arrives in pieces of whatever size the pipe gives, with waits between them.
TEST(OpenUnpackage, readsFromAProcess)
{
    if (!installed("sh"))
        GTEST_SKIP() << "sh is not installed";
    const QByteArray data = compressibleBytes(300000);
    for (int version : {1, 2}) {
        QTemporaryFile file;
        ASSERT_TRUE(file.open());
        file.write(pack(version, Aes128, true, data));
        file.flush();
        // One process per slice of 1000 bytes, so that reads come up short or empty between them.
        auto process = QSharedPointer<QProcess>::create();
        process->start("sh",
                       {"-c",
                        "i=0; while [ $i -lt 400 ]; do dd bs=1000 skip=$i count=1 status=none if=\"$0\"; "
                        "i=$((i+1)); done",
                        file.fileName()});
        ASSERT_TRUE(process->waitForStarted(10000));
        // With a MAC thread, which takes copies of what the pipe-like source delivered.
        const auto unpackage = openUnpackage(process, "secret", 2);
        ASSERT_TRUE(unpackage->isOpen()) << unpackage->errorString().toStdString();
        EXPECT_EQ(unpackage->workerCount(), 2);
        EXPECT_EQ(readInSteps(*unpackage, 65536), data) << version;
        EXPECT_TRUE(unpackage->validate());
        process->waitForFinished(10000);
    }
}

TEST(CheckVersion, everyKindOfInput)
{
    const QByteArray v2 = pack(2, Aes128, true, "data"), v1 = pack(1, Des, false, "data");
    QByteArray version3 = pack(2, NoEncryption, false, "data");
    version3[16] = 3;
    QByteArray damagedRecord = pack(2, NoEncryption, true, "data");
    damagedRecord[36] = 9;
    QByteArray damagedPayload = v2;
    damagedPayload[damagedPayload.size() - 40] = 0;
    struct Case
    {
        const char* name;
        QByteArray bytes;
        int version;
        int notLines;
    };
    const Case cases[] = {
        {"v2Encrypted", v2, 2, 0},
        {"v2DamagedPayload", damagedPayload, 2, 0},
        {"v1", v1, 1, 1},
        {"empty", "", 0, 2},
        {"notAContainer", "VarnolitexDatum and more text to fill a header", 0, 2},
        {"version3", version3, 0, 2},
        {"damagedRecord", damagedRecord, 0, 2},
        {"v2CutShort", v2.left(40), 0, 2},
        {"v1CutShort", v1.left(50), 0, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto device = bufferWith(c.bytes);
        device->open(QIODevice::ReadOnly);
        LogCapture log;
        EXPECT_EQ(CheckVersion::check(device), c.version);
        EXPECT_EQ(device->pos(), 0);
        const QStringList notLines = {"Check FileContainer version, it's not V2",
                                      "Check FileContainer version, it's not V1"};
        EXPECT_EQ(log.texts(), notLines.mid(0, c.notLines));
    }
}

// The payload and trailer checked by tools nobody here wrote.
TEST(Interop, gzipReadsCompressedPayload)
{
    if (!installed("gzip"))
        GTEST_SKIP() << "gzip is not installed";
    const QByteArray data = compressibleBytes(100000);
    for (int version : {1, 2}) {
        const QByteArray container = pack(version, NoEncryption, true, data);
        const int header = version == 1 ? 37 : 45;
        EXPECT_EQ(runTool("gzip", {"-dc"}, container.mid(header)), data) << version;
    }
}

TEST(Interop, opensslDecryptsPayloadAndComputesTrailer)
{
    if (!installed("gzip") || !installed("openssl"))
        GTEST_SKIP() << "gzip or openssl is not installed";
    const QByteArray data = compressibleBytes(100000), iv = QByteArray::fromHex("000102030405060708090a0b0c0d0e0f");
    const QByteArray payloadKey = QByteArray(32, '\x11'), hmacKey = QByteArray(32, '\x22');
    for (bool compressed : {false, true}) {
        SCOPED_TRACE(compressed ? "compressed" : "uncompressed");
        V2::Package package(bufferWith(data), data.size(), Aes256, "pw", compressed, iv, Key::randomSalt(),
                            payloadKey + hmacKey, nullptr);
        ASSERT_TRUE(package.open(QIODevice::ReadOnly));
        const QByteArray container = readInSteps(package, 4096);
        // After the header, one byte longer with a compression record, and the header's tag.
        const int ivAt = uncompressedSize(2, Aes256, 0) - 64 + int(compressed);
        ASSERT_EQ(container.mid(ivAt, 16), iv);
        const QByteArray sealed = container.mid(ivAt, container.size() - ivAt - 32);

        QByteArray plain = runTool(
            "openssl", {"enc", "-d", "-aes-256-cbc", "-K", payloadKey.toHex(), "-iv", iv.toHex()}, sealed.mid(16));
        if (compressed)
            plain = runTool("gzip", {"-dc"}, plain);
        EXPECT_EQ(plain, data);

        const QByteArray macKey = QCryptographicHash::hash(hmacKey, QCryptographicHash::Sha256).toHex();
        const QByteArray digest =
            runTool("openssl", {"dgst", "-sha256", "-mac", "HMAC", "-macopt", "hexkey:" + macKey}, sealed);
        EXPECT_EQ(digest.trimmed().split(' ').last(), container.right(32).toHex());
    }
}
