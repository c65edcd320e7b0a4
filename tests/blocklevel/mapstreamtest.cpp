#include "chainfixture.h"
#include "core/exception/invaliddata.h"
#include "support/logcapture.h"

#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <tuple>

using namespace ChainFixture;
using Header = MapStream::Header;
namespace Encryption = ZRV::Core::Encryption;
namespace Compression = ZRV::Core::Compression;

namespace {

// The decoded header; a refusal's message goes to refusal.
Header decode(const QByteArray& bytes, QString* refusal = nullptr)
{
    QDataStream stream(bytes);
    Header header;
    try {
        stream >> header;
    } catch (const ZRV::Exception::InvalidData& error) {
        *refusal = error.message();
    }
    return header;
}

// A map file whose writes fail once told to.
class FailingDevice : public QBuffer
{
public:
    bool failing = false;

protected:
    qint64 writeData(const char* data, qint64 size) override
    {
        if (!failing)
            return QBuffer::writeData(data, size);
        setErrorString("device is full");
        return -1;
    }
};

MapStream::Data record(unsigned int revision, unsigned long long offset, unsigned int length)
{
    MapStream::Data data;
    data.setRevision(revision);
    data.setOffset(offset);
    data.setLength(length);
    data.setHash(QByteArray(MapStream::Data::HashSize, char(revision)));
    return data;
}

} // namespace

TEST(MapStream, writesTheBareHeaderAndRefusesHeadersItCannotWrite)
{
    LogCapture log;
    auto buffer = QSharedPointer<QBuffer>::create();
    {
        MapStream map(buffer, 7, nullptr);
        ASSERT_TRUE(map.open(QIODevice::WriteOnly));
        EXPECT_EQ(map.pos(), 542);
        map.header()->setKeyPadding(QByteArray(252, 'k')); // not stored without encryption
    }
    const QByteArray fields = QByteArray::fromHex("04"
                                                  "00"
                                                  "00"
                                                  "00"
                                                  "07000000"
                                                  "0000000000000000"
                                                  "00000200");
    EXPECT_EQ(buffer->data(), "QVN_BITMAP" + fields + QByteArray(256 + 1 + 255, '\0'));

    MapStream map(buffer, 0, nullptr);
    map.setEncryptionAlgorithm(Encryption::Aes256);
    map.header()->setKeyPadding(QByteArray(252, 'k'));
    EXPECT_FALSE(map.open(QIODevice::WriteOnly));
    EXPECT_TRUE(log.contains(QtCriticalMsg, "Map key padding too long: 252 bytes"));
    EXPECT_TRUE(log.contains(QtCriticalMsg, "on write map header"));

    class Unseekable : public QBuffer
    {
    public:
        bool isSequential() const override { return true; }
    };
    MapStream unseekable(QSharedPointer<Unseekable>::create(), 0, nullptr);
    EXPECT_FALSE(unseekable.open(QIODevice::WriteOnly));
    EXPECT_FALSE(unseekable.isOpen());
}

TEST(MapHeader, encryptionCodeAndKeyPaddingRoundTrip)
{
    const QList<std::tuple<Encryption::Algorithm, char, bool>> ciphers = {{Encryption::Aes128, 1, false},
                                                                          {Encryption::Aes192, 2, false},
                                                                          {Encryption::Aes256, 3, true},
                                                                          {Encryption::NoEncryption, 0, true},
                                                                          {Encryption::Des3, 0, true}};
    for (const auto& cipher : ciphers) {
        Header header;
        header.setEncryptionAlgorithm(std::get<0>(cipher));
        header.setKeyPadding(QByteArray(96, 'k'));
        header.setBlockSize(4096);
        header.addLengthByte(4097);
        const QByteArray bytes = encode(header);
        ASSERT_EQ(bytes.size(), 542);
        EXPECT_EQ(bytes[12], std::get<1>(cipher));

        const Header read = decode(bytes);
        const bool encrypted = std::get<1>(cipher) != 0;
        EXPECT_EQ(read.encryptionAlgorithm(), encrypted ? std::get<0>(cipher) : Encryption::NoEncryption);
        EXPECT_EQ(read.useHeaderEncryptionAes256(), std::get<2>(cipher));
        EXPECT_EQ(read.keyPadding(), encrypted ? QByteArray(96, 'k') : QByteArray(256, '\0'));
        EXPECT_EQ(read.blockCount(), 2u);
    }
    for (quint8 code : {4, 200})
        EXPECT_EQ(decode(patched(encode(Header()), 12, code)).encryptionAlgorithm(), Encryption::NoEncryption);
    for (int algorithm = 0; algorithm <= 4; ++algorithm) {
        Header header;
        header.setCompressionAlgorithm(Compression::Algorithm(algorithm));
        EXPECT_EQ(decode(encode(header)).compressionAlgorith(), algorithm == 1 || algorithm == 3 ? algorithm : 0);
    }
}

TEST(MapHeader, olderVersionsAreShorterAndBlockSizeZeroMeansDefault)
{
    const QList<QPair<int, int>> sizes = {{0, 284}, {1, 284}, {2, 285}, {3, 541}, {4, 542}};
    for (const auto& size : sizes) {
        Header header;
        header.setVersion(size.first);
        header.setBlockSize(0);
        header.addLengthByte(131073);
        const QByteArray bytes = encode(header, {record(5, 1, 2)});
        EXPECT_EQ(bytes.size(), size.second + MapStream::Data::DataBlockSize) << size.first;
        EXPECT_EQ(bytes.mid(size.first >= 2 ? 26 : 25, 4), QByteArray(4, '\0'));

        QDataStream stream(bytes);
        Header read;
        MapStream::Data data;
        stream >> read >> data;
        EXPECT_EQ(read.version(), size.first);
        EXPECT_EQ(read.headerSize(), size.first >= 2 ? 542 : 541);
        EXPECT_EQ(read.blockSize(), 131072u);
        EXPECT_EQ(read.blockCount(), 2u);
        EXPECT_EQ(data.revision(), 5u);
    }
}

TEST(MapHeader, malformedHeadersAreRefusedAndLeaveTheHeaderUnchanged)
{
    Header encrypted;
    encrypted.setEncryptionAlgorithm(Encryption::Aes256);
    encrypted.setKeyPadding("key");
    const QByteArray bytes = encode(encrypted);
    const QList<QPair<QByteArray, QString>> cases = {
        {patched<quint8>(bytes, 0, 'X'), "BitmapHeader Signatures not equal"},
        {patched<quint8>(bytes, 10, 6), "Unknown header version 6. Last known version is a 5"},
        {patched<quint8>(bytes, 10, 200), "Unknown header version 200. Last known version is a 5"},
        {patched<qint32>(bytes, 31, -1), "Map key padding length -1 is out of range"},
        {patched<qint32>(bytes, 31, 252), "Map key padding length 252 is out of range"},
        {patched<quint32>(bytes, 26, Header::MaxBlockSize + 1), "Map block size 67108865 is out of range"},
        {bytes.left(541), "Map header is truncated"},
        {bytes.left(20), "Map header is truncated"},
    };
    for (const auto& refused : cases) {
        QString refusal;
        decode(refused.first, &refusal);
        EXPECT_EQ(refusal, refused.second);
    }

    auto buffer = QSharedPointer<QBuffer>::create();
    buffer->setData(cases[1].first);
    MapStream refusedMap(buffer, 4, nullptr);
    EXPECT_THROW(refusedMap.open(QIODevice::ReadOnly), ZRV::Exception::InvalidData);
    EXPECT_FALSE(refusedMap.isOpen());
    EXPECT_EQ(refusedMap.revision(), 4u);
}

TEST(MapStream, revisionRangeJoinsRunsOfARevision)
{
    const auto mapOver = [](const QList<MapStream::Data>& records, unsigned long long extraLength) {
        Header header;
        header.setBlockSize(10);
        header.addLengthByte(records.size() * 10 + extraLength);
        return openMap(encode(header, records));
    };
    using ByteRange = Extensions::Range<unsigned long long>;
    const auto ranges = MapStream::revisionRange(
        mapOver({record(3, 0, 10), record(3, 10, 12), record(1, 100, 5), record(3, 22, 7)}, 0));
    EXPECT_EQ(ranges.value(3), (QList<ByteRange>{ByteRange(0, 22), ByteRange(22, 29)}));
    EXPECT_EQ(ranges.value(1), QList<ByteRange>{ByteRange(100, 105)});
    EXPECT_EQ(ranges.size(), 2);

    EXPECT_TRUE(MapStream::revisionRange(mapOver({}, 0)).isEmpty());
    EXPECT_TRUE(MapStream::revisionRange(nullptr).isEmpty());
    EXPECT_THROW(MapStream::revisionRange(mapOver({record(3, 0, 10)}, 1000)), ZRV::Exception::InvalidData);
}

// The caller publishes a map only when finish() confirmed that its final header reached the device.
TEST(MapStream, finishReportsAFailedFinalHeaderWrite)
{
    LogCapture log;
    auto device = QSharedPointer<FailingDevice>::create();
    MapStream map(device, 3, nullptr);
    ASSERT_TRUE(map.open(QIODevice::WriteOnly));
    device->failing = true;
    EXPECT_FALSE(map.finish());
    EXPECT_FALSE(map.isOpen());
    EXPECT_EQ(map.errorString(), "Cannot write the final map header: device is full");
    EXPECT_TRUE(log.contains(QtCriticalMsg, "on finish map: \"Cannot write the final map header: device is full\""));

    QTemporaryDir directory;
    auto file = QSharedPointer<QFile>::create(directory.filePath("map"));
    MapStream written(file, 3, nullptr);
    ASSERT_TRUE(written.open(QIODevice::WriteOnly));
    EXPECT_TRUE(written.finish());
    EXPECT_EQ(QFileInfo(file->fileName()).size(), 542);
    EXPECT_FALSE(written.finish()); // no longer open
}
