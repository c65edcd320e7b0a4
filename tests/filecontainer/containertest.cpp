#include "containertesting.h"
#include "pipedevice.h"

#include "core/encryption/key.h"
#include "filecontainer/checkversion.h"
#include "filecontainer/version2/header.h"
#include "filecontainer/version1/package.h"
#include "filecontainer/version1/unpackage.h"
#include "filecontainer/version2/package.h"
#include "filecontainer/version2/unpackage.h"
#include "stream/exception/erroroperation.h"
#include "support/logcapture.h"

#include <QBuffer>
#include <gtest/gtest.h>

using namespace ZRV::Stream::FileContainer;
using namespace ZRV::Core::Encryption;
using namespace ContainerTesting;

namespace {

struct Unpacked
{
    bool opened = false;
    QString error;
    QByteArray data;
    bool valid = false;
    unsigned long long realSize = 0;
};

// Unpacks with the unpackage of `version` from `source`, reading in requests of `chunk` bytes.
Unpacked unpack(int version, QSharedPointer<QIODevice> source, const QByteArray& password = "secret", int chunk = 4096)
{
    Unpacked result;
    QScopedPointer<Base> unpackage(version == 1 ? static_cast<Base*>(new V1::Unpackage(source, password, nullptr))
                                                : new V2::Unpackage(source, password, nullptr));
    result.opened = unpackage->open(QIODevice::ReadOnly);
    result.error = unpackage->errorString();
    if (!result.opened)
        return result;
    result.data = readToEnd(*unpackage, chunk);
    auto* v2 = qobject_cast<V2::Unpackage*>(unpackage.data());
    result.valid = !v2 || v2->validate();
    result.realSize = v2 ? v2->realSize() : static_cast<V1::Unpackage&>(*unpackage).realSize();
    return result;
}

QSharedPointer<QIODevice> bufferOver(const QByteArray& bytes)
{
    auto buffer = QSharedPointer<QBuffer>::create();
    buffer->setData(bytes);
    return buffer;
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

class ContainerRoundTrip : public testing::TestWithParam<std::tuple<int, int, bool>>
{
};

TEST_P(ContainerRoundTrip, yieldsTheDataBack)
{
    const auto [version, cipher, compressed] = GetParam();
    const auto algorithm = Algorithm(cipher);
    const QByteArray data = sampleData(70000);
    const QByteArray container = pack(version, algorithm, compressed, data);
    if (!compressed) {
        EXPECT_EQ(container.size(), uncompressedSize(version, algorithm, data.size()));
    }

    auto device = bufferOver(container);
    device->open(QIODevice::ReadOnly);
    EXPECT_EQ(CheckVersion::check(device), version);
    EXPECT_EQ(device->pos(), 0);
    const Unpacked unpacked = unpack(version, device);
    ASSERT_TRUE(unpacked.opened) << unpacked.error.toStdString();
    EXPECT_EQ(unpacked.data, data);
    EXPECT_TRUE(unpacked.valid);
    EXPECT_EQ(unpacked.realSize, quint64(data.size()));
}

INSTANTIATE_TEST_SUITE_P(EveryCipher, ContainerRoundTrip,
                         testing::Combine(testing::Values(1, 2), testing::Range(0, 7), testing::Bool()));

class ContainerSmallReads : public testing::TestWithParam<std::tuple<int, int, bool>>
{
};

// Packages and unpackages read in small requests until atEnd() deliver every byte, whatever
// the inner stages keep in Qt's read buffers.
TEST_P(ContainerSmallReads, deliverEveryByte)
{
    const auto [version, chunk, sealed] = GetParam();
    const QByteArray data = sampleData(40000);
    auto source = bufferOver(data);
    QScopedPointer<Base> package;
    if (version == 1)
        package.reset(new V1::Package(source, data.size(), sealed ? Aes256 : NoEncryption, "pw", sealed, nullptr));
    else
        package.reset(new V2::Package(source, data.size(), sealed ? Aes256 : NoEncryption, "pw", sealed, nullptr));
    EXPECT_TRUE(package->atEnd());
    ASSERT_TRUE(package->open(QIODevice::ReadOnly));
    const QByteArray container = readToEnd(*package, chunk);

    const Unpacked unpacked = unpack(version, bufferOver(container), "pw", chunk);
    EXPECT_EQ(unpacked.data, data);
    EXPECT_TRUE(unpacked.valid);
}

INSTANTIATE_TEST_SUITE_P(OneHundredAndPage, ContainerSmallReads,
                         testing::Combine(testing::Values(1, 2), testing::Values(1, 100, 4096), testing::Bool()));

TEST(Container, unpacksFromSequentialSource)
{
    struct Case { int version; Algorithm algorithm; bool compressed; };
    const Case cases[] = {{1, NoEncryption, false}, {1, Des3, true}, {2, NoEncryption, true}, {2, Aes128, false},
                          {2, Aes256, true}};
    const QByteArray data = sampleData(50000);
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.version << " " << c.algorithm << " " << c.compressed);
        const Unpacked unpacked = unpack(c.version, QSharedPointer<PipeDevice>::create(pack(c.version, c.algorithm,
                                                                                              c.compressed, data)));
        ASSERT_TRUE(unpacked.opened) << unpacked.error.toStdString();
        EXPECT_EQ(unpacked.data, data);
        EXPECT_TRUE(unpacked.valid);
    }
}

TEST(Container, plainContainerCarriesDataAfterHeader)
{
    const QByteArray data = sampleData(1000);
    EXPECT_EQ(pack(1, NoEncryption, false, data), V1::Header(NoEncryption, "", false, 1000, "").byteArray() + data);
    EXPECT_EQ(pack(2, NoEncryption, false, data), V2::Header(NoEncryption, "", false, 1000, "").byteArray() + data);

    V2::Package package(bufferOver(data), 1000, NoEncryption, "", false, nullptr);
    ASSERT_TRUE(package.open(QIODevice::ReadOnly));
    EXPECT_EQ(package.iv(), QByteArray());
    EXPECT_FALSE(package.useEncryption());
    EXPECT_EQ(package.size(), 0);
    EXPECT_TRUE(package.isSequential());
}

TEST(Container, checksPositionAfterHeader)
{
    LogCapture log;
    const Unpacked unpacked = unpack(2, bufferOver(pack(2, NoEncryption, true, "abc")));
    EXPECT_EQ(unpacked.data, "abc");
    EXPECT_TRUE(log.contains(QtDebugMsg, "Stream position after header read: 45 / 45"));
    EXPECT_FALSE(log.texts().filter("Set/correct stream position:").size());
}

TEST(Container, givenKeysReproduceTheContainer)
{
    const QByteArray data = sampleData(3000), iv(16, 'i'), salt(16, 's'), keys = Key::randomKey(Aes192) + Key::randomKey(Aes192);
    QByteArray first;
    for (int round = 0; round < 2; ++round) {
        V2::Package package(bufferOver(data), data.size(), Aes192, "pw", true, iv, salt, keys, nullptr);
        ASSERT_TRUE(package.open(QIODevice::ReadOnly));
        EXPECT_EQ(package.iv(), iv);
        const QByteArray container = readToEnd(package);
        EXPECT_TRUE(round == 0 || container == first);
        first = container;
    }
    V2::Package drawn(bufferOver(data), data.size(), Aes192, "pw", false, nullptr);
    ASSERT_TRUE(drawn.open(QIODevice::ReadOnly));
    EXPECT_EQ(drawn.encryptionKey().size(), 48);
    EXPECT_EQ(drawn.salt().size(), 16);

    // Keys of another length would wrap to bytes whose end no reader could find.
    V2::Package odd(bufferOver(data), data.size(), Aes192, "pw", false, iv, salt, keys + "x", nullptr);
    EXPECT_FALSE(odd.open(QIODevice::ReadOnly));
    EXPECT_EQ(odd.errorString(), "Payload keys of 49 bytes given where the cipher needs two keys of 24 bytes");
}

TEST(Container, wrongPassword)
{
    const QByteArray data = sampleData(5000), container = pack(2, Aes256, true, data);
    LogCapture log;
    const Unpacked v2 = unpack(2, bufferOver(container), "wrong");
    EXPECT_FALSE(v2.opened);
    EXPECT_EQ(v2.error, "Incorrect decryption password (Container header is corrupted)");
    EXPECT_EQ(log.texts(), QStringList({"Container header is corrupted",
                                        "Incorrect decryption password (Container header is corrupted)"}));

    // Version 1 has no header tag: the cipher finds a bad padding, or the data come out wrong.
    V1::Unpackage v1(bufferOver(pack(1, Aes256, false, data)), "wrong", nullptr);
    ASSERT_TRUE(v1.open(QIODevice::ReadOnly));
    try {
        EXPECT_NE(v1.readAll(), data);
    } catch (const ZRV::Stream::Exception::ErrorOperation& e) {
        EXPECT_EQ(e.message(), "Incorrect decryption password");
        EXPECT_EQ(v1.errorString(), "Incorrect decryption password");
    }
}

TEST(Container, tamperedOrCutVersion2)
{
    const QByteArray data = sampleData(5000), container = pack(2, Aes256, false, data);
    const int head = uncompressedSize(2, Aes256, 0) - 48; // header, tag and IV
    const int header = head - 32 - 16;
    struct Case { const char* name; QByteArray bytes; QString openError; bool dataIntact; };
    const auto flipped = [&](int offset) { QByteArray b = container; b[offset] = char(b[offset] ^ 1); return b; };
    const Case cases[] = {
        {"signature", flipped(2), "CryptoContainerV1Header Signatures not equal", false},
        {"salt", flipped(50), "Incorrect decryption password (Container header is corrupted)", false},
        {"wrappedKeys", flipped(header - 20), "Incorrect decryption password (Container header is corrupted)", false},
        {"headerTag", flipped(header + 3), "Incorrect decryption password (Container header is corrupted)", false},
        {"headerCutShort", container.left(60), "Container header is cut short", false},
        {"cutInsideTag", container.left(header + 10), "Container header is cut short", false},
        {"cutInsideIv", container.left(head - 3), "Container ends inside the IV", false},
        {"iv", flipped(head - 1), "", false},
        {"payload", flipped(head + 2000), "", false},
        {"trailer", flipped(container.size() - 1), "", true},
        {"cutInsidePayload", container.left(container.size() - 100), "", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Unpacked unpacked;
        try {
            unpacked = unpack(2, bufferOver(c.bytes));
        } catch (const ZRV::Stream::Exception::ErrorOperation&) {
            continue; // the cipher refused the altered payload
        }
        EXPECT_EQ(unpacked.opened, c.openError.isEmpty());
        EXPECT_EQ(unpacked.error, c.openError.isEmpty() ? "Unknown error" : c.openError);
        EXPECT_FALSE(unpacked.valid);
        if (c.dataIntact) {
            EXPECT_EQ(unpacked.data, data);
        }
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
    struct Case { const char* name; QByteArray bytes; int version; int notLines; };
    const Case cases[] = {
        {"v2Encrypted", v2, 2, 0},
        {"v2Plain", pack(2, NoEncryption, false, ""), 2, 0},
        {"v2DamagedPayload", damagedPayload, 2, 0},
        {"v1", v1, 1, 1},
        {"v1Compressed", pack(1, NoEncryption, true, "data"), 1, 1},
        {"empty", "", 0, 2},
        {"notAContainer", "VarnolitexDatum and more text to fill a header", 0, 2},
        {"version3", version3, 0, 2},
        {"damagedRecord", damagedRecord, 0, 2},
        {"v2CutShort", v2.left(40), 0, 2},
        {"v1CutShort", v1.left(50), 0, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto device = bufferOver(c.bytes);
        device->open(QIODevice::ReadOnly);
        LogCapture log;
        EXPECT_EQ(CheckVersion::check(device), c.version);
        EXPECT_EQ(device->pos(), 0);
        const QStringList notLines = {"Check FileContainer version, it's not V2", "Check FileContainer version, it's not V1"};
        EXPECT_EQ(log.texts(), notLines.mid(0, c.notLines));
    }
}
