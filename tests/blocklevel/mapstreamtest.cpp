#include "blocklevel/mapstream.h"
#include "core/exception/invaliddata.h"
#include "support/logcapture.h"

#include <QBuffer>
#include <QtEndian>
#include <gtest/gtest.h>

using namespace ZRV::Stream::BlockLevel;
using Header = MapStream::Header;
namespace Encryption = ZRV::Core::Encryption;
namespace Compression = ZRV::Core::Compression;

namespace {

QByteArray encode(const Header& header)
{
    QByteArray bytes;
    QDataStream stream(&bytes, QIODevice::WriteOnly);
    stream << header;
    return bytes;
}

Header decode(const QByteArray& bytes)
{
    QDataStream stream(bytes);
    Header header;
    stream >> header;
    return header;
}

QString refusalOf(const QByteArray& bytes)
{
    try {
        decode(bytes);
    } catch (const ZRV::Exception::InvalidData& error) {
        return error.message();
    }
    return QString();
}

QByteArray withByte(QByteArray bytes, int offset, char value)
{
    bytes[offset] = value;
    return bytes;
}

QByteArray withInt32(QByteArray bytes, int offset, qint32 value)
{
    qToLittleEndian(value, bytes.data() + offset);
    return bytes;
}

MapStream::Data record(unsigned int revision, unsigned long long offset, unsigned int length, bool used = true)
{
    MapStream::Data data;
    data.setRevision(revision);
    data.setOffset(offset);
    data.setLength(length);
    data.setUsed(used);
    data.setHash(QByteArray(MapStream::Data::HashSize, char(revision)));
    return data;
}

// A map opened for reading over a header and the given records.
QSharedPointer<MapStream> mapOver(const QList<MapStream::Data>& records, unsigned int blockSize = 10)
{
    Header header;
    header.setBlockSize(blockSize);
    header.addLengthByte(records.size() * blockSize);
    QByteArray bytes = encode(header);
    QDataStream stream(&bytes, QIODevice::Append);
    for (const MapStream::Data& data : records)
        stream << data;
    auto buffer = QSharedPointer<QBuffer>::create();
    buffer->setData(bytes);
    auto map = QSharedPointer<MapStream>::create(buffer, 0, nullptr);
    map->open(QIODevice::ReadOnly);
    return map;
}

} // namespace

TEST(MapStream, newMapClosedAtOnceIsTheBareHeader)
{
    auto buffer = QSharedPointer<QBuffer>::create();
    {
        MapStream map(buffer, 7, nullptr);
        ASSERT_TRUE(map.open(QIODevice::WriteOnly));
        EXPECT_STREQ(map.metaObject()->className(), "ZRV::Stream::BlockLevel::MapStream");
        EXPECT_EQ(map.pos(), 542);
    }
    QByteArray expected("QVN_BITMAP");
    expected += QByteArray::fromHex("04" "00" "00" "00" "07000000" "0000000000000000" "00000200");
    expected += QByteArray(256 + 1 + 255, '\0');
    EXPECT_EQ(buffer->data(), expected);
}

TEST(MapStream, closeWritesTheFinalHeaderInPlace)
{
    auto buffer = QSharedPointer<QBuffer>::create();
    auto map = QSharedPointer<MapStream>::create(buffer, 2, nullptr);
    map->setBlockSize(16);
    ASSERT_TRUE(map->open(QIODevice::WriteOnly));
    QDataStream records(map.data());
    records << record(2, 0, 16) << record(2, 16, 5);
    map->header()->addLengthByte(21);
    map->header()->incrementBlock();
    map->header()->incrementBlock();
    map->close();

    MapStream reread(buffer, 0, nullptr);
    ASSERT_TRUE(reread.open(QIODevice::ReadOnly));
    EXPECT_EQ(reread.length(), 21u);
    EXPECT_EQ(reread.blockCount(), 2u);
    EXPECT_EQ(reread.revision(), 2u);
    MapStream::Data second;
    QDataStream reader(&reread);
    reader >> second >> second;
    EXPECT_EQ(second.offset(), 16u);
    EXPECT_EQ(second.length(), 5u);
    EXPECT_TRUE(reread.reset());
    EXPECT_EQ(reread.pos(), 542);
}

struct CipherCase
{
    Encryption::Algorithm algorithm;
    char code;
    bool aes256Wrapping;
};

class MapHeaderCipher : public testing::TestWithParam<CipherCase>
{
};

TEST_P(MapHeaderCipher, roundTripsItsOwnCodeAndKeyPadding)
{
    Header header;
    header.setEncryptionAlgorithm(GetParam().algorithm);
    header.setCompressionAlgorithm(Compression::Lz4);
    header.setKeyPadding(QByteArray(96, 'k'));
    header.setRevison(9);
    header.setBlockSize(4096);
    header.addLengthByte(4097);
    const QByteArray bytes = encode(header);
    ASSERT_EQ(bytes.size(), 542);
    EXPECT_EQ(bytes[12], GetParam().code);

    const Header read = decode(bytes);
    EXPECT_EQ(read.encryptionAlgorithm(), GetParam().algorithm);
    EXPECT_EQ(read.useHeaderEncryptionAes256(), GetParam().aes256Wrapping);
    EXPECT_EQ(read.compressionAlgorith(), Compression::Lz4);
    EXPECT_EQ(read.revision(), 9u);
    EXPECT_EQ(read.blockCount(), 2u);
    EXPECT_EQ(read.headerSize(), 542);
    const bool encrypted = GetParam().algorithm != Encryption::NoEncryption;
    EXPECT_EQ(read.keyPadding(), encrypted ? QByteArray(96, 'k') : QByteArray(256, '\0'));
}

INSTANTIATE_TEST_SUITE_P(Codes, MapHeaderCipher,
                         testing::Values(CipherCase{Encryption::Aes128, 1, false},
                                         CipherCase{Encryption::Aes192, 2, false},
                                         CipherCase{Encryption::Aes256, 3, true},
                                         CipherCase{Encryption::NoEncryption, 0, true}));

TEST(MapHeader, codeMappings)
{
    const QByteArray bytes = encode(Header());
    const QList<QPair<int, Encryption::Algorithm>> encryption = {
        {0, Encryption::NoEncryption}, {1, Encryption::Aes128}, {2, Encryption::Aes192},
        {3, Encryption::Aes256},       {4, Encryption::NoEncryption}, {200, Encryption::NoEncryption}};
    for (const auto& code : encryption)
        EXPECT_EQ(decode(withByte(withInt32(bytes, 31, 0), 12, char(code.first))).encryptionAlgorithm(), code.second);

    const QList<QPair<Compression::Algorithm, Compression::Algorithm>> compression = {
        {Compression::None, Compression::None}, {Compression::Gzip, Compression::Gzip},
        {Compression::Algorithm(2), Compression::None}, {Compression::Lz4, Compression::Lz4},
        {Compression::Lz4Flagged, Compression::None}};
    for (const auto& pair : compression) {
        Header header;
        header.setCompressionAlgorithm(pair.first);
        EXPECT_EQ(decode(encode(header)).compressionAlgorith(), pair.second);
    }
    Header header;
    header.setEncryptionAlgorithm(Encryption::Des3);
    EXPECT_EQ(header.encryptionAlgorithm(), Encryption::NoEncryption);
}

TEST(MapHeader, olderVersionsAreShorter)
{
    const QList<QPair<int, int>> sizes = {{0, 284}, {1, 284}, {2, 285}, {3, 541}, {4, 542}};
    for (const auto& size : sizes) {
        Header header;
        header.setVersion(size.first);
        header.setRevison(3);
        QByteArray bytes = encode(header);
        EXPECT_EQ(bytes.size(), size.second) << size.first;
        QDataStream append(&bytes, QIODevice::Append);
        append << record(5, 1, 2);

        QDataStream stream(bytes);
        Header read;
        MapStream::Data data;
        stream >> read >> data;
        EXPECT_EQ(read.version(), size.first);
        EXPECT_EQ(read.revision(), 3u);
        EXPECT_EQ(read.headerSize(), size.first >= 2 ? 542 : 541);
        EXPECT_EQ(data.revision(), 5u);
        EXPECT_EQ(stream.status(), QDataStream::Ok);
    }
}

TEST(MapHeader, blockSizeZeroMeansDefault)
{
    Header header;
    header.setBlockSize(0);
    header.addLengthByte(131073);
    const QByteArray bytes = encode(header);
    EXPECT_EQ(bytes.mid(26, 4), QByteArray(4, '\0'));
    const Header read = decode(bytes);
    EXPECT_EQ(read.blockSize(), 131072u);
    EXPECT_EQ(read.blockCount(), 2u);
}

TEST(MapHeader, malformedHeadersAreRefusedAndLeaveTheHeaderUnchanged)
{
    Header encrypted;
    encrypted.setEncryptionAlgorithm(Encryption::Aes256);
    encrypted.setKeyPadding("key");
    const QByteArray bytes = encode(encrypted);
    const QList<QPair<QByteArray, QString>> cases = {
        {withByte(bytes, 0, 'X'), "BitmapHeader Signatures not equal"},
        {withByte(bytes, 10, 5), "Unknown header version 5. Last known version is a 4"},
        {withByte(bytes, 10, char(200)), "Unknown header version 200. Last known version is a 4"},
        {withInt32(bytes, 31, -1), "Map key padding length -1 is out of range"},
        {withInt32(bytes, 31, 252), "Map key padding length 252 is out of range"},
        {withInt32(bytes, 26, Header::MaxBlockSize + 1), "Map block size 67108865 is out of range"},
        {bytes.left(541), "Map header is truncated"},
        {bytes.left(20), "Map header is truncated"},
        {QByteArray(), "BitmapHeader Signatures not equal"},
    };
    for (const auto& refused : cases)
        EXPECT_EQ(refusalOf(refused.first), refused.second);

    auto buffer = QSharedPointer<QBuffer>::create();
    buffer->setData(withByte(bytes, 10, 5));
    MapStream map(buffer, 4, nullptr);
    EXPECT_THROW(map.open(QIODevice::ReadOnly), ZRV::Exception::InvalidData);
    EXPECT_FALSE(map.isOpen());
    EXPECT_EQ(map.revision(), 4u);
}

TEST(MapStream, keyPaddingThatDoesNotFitIsRefusedOnlyWhenStored)
{
    LogCapture log;
    auto buffer = QSharedPointer<QBuffer>::create();
    MapStream map(buffer, 0, nullptr);
    ASSERT_TRUE(map.open(QIODevice::WriteOnly));
    map.header()->setKeyPadding(QByteArray(252, 'k'));
    EXPECT_TRUE(map.writeHeader());
    EXPECT_EQ(buffer->data().mid(30, 256), QByteArray(256, '\0'));

    map.setEncryptionAlgorithm(Encryption::Aes256);
    EXPECT_FALSE(map.writeHeader());
    EXPECT_TRUE(log.contains(QtCriticalMsg, "Map key padding too long: 252 bytes"));
    EXPECT_TRUE(log.contains(QtCriticalMsg, "on write map header"));
}

TEST(MapStream, deviceThatCannotSeekFailsTheHeader)
{
    class Sequential : public QBuffer
    {
    public:
        bool isSequential() const override { return true; }
        bool seek(qint64) override { return false; }
    };
    LogCapture log;
    MapStream map(QSharedPointer<Sequential>::create(), 0, nullptr);
    EXPECT_FALSE(map.open(QIODevice::WriteOnly));
    EXPECT_FALSE(map.isOpen());
    EXPECT_TRUE(log.contains(QtCriticalMsg, "on write map header"));
}

TEST(MapData, recordIs33BytesInFieldOrder)
{
    QByteArray bytes;
    MapStream::Data data = record(0x01020304, 0x1122334455667788ull, 0xAABBCCDD, false);
    data.setHash(QByteArray("0123456789abcdef"));
    QDataStream writer(&bytes, QIODevice::WriteOnly);
    writer << data;
    EXPECT_EQ(MapStream::Data::calculateDataBlockSize(), 33);
    EXPECT_EQ(bytes, QByteArray("0123456789abcdef") + QByteArray::fromHex("04030201" "00" "8877665544332211" "DDCCBBAA"));

    MapStream::Data read;
    QDataStream reader(withByte(bytes, 20, 7));
    reader >> read;
    EXPECT_TRUE(read.isUsed());
    EXPECT_EQ(read.offset(), 0x1122334455667788ull);
}

TEST(MapStream, revisionRangeJoinsRunsOfARevision)
{
    auto map = mapOver({record(3, 0, 10), record(3, 10, 12), record(1, 100, 5), record(3, 22, 7)});
    const auto ranges = MapStream::revisionRange(map);
    using ByteRange = Extensions::Range<unsigned long long>;
    EXPECT_EQ(ranges.value(3), (QList<ByteRange>{ByteRange(0, 22), ByteRange(22, 29)}));
    EXPECT_EQ(ranges.value(1), QList<ByteRange>{ByteRange(100, 105)});
    EXPECT_EQ(ranges.size(), 2);

    EXPECT_TRUE(MapStream::revisionRange(mapOver({})).isEmpty());
    EXPECT_TRUE(MapStream::revisionRange(QSharedPointer<MapStream>()).isEmpty());
}

TEST(MapStream, revisionRangeOfATruncatedMapIsRefused)
{
    auto map = mapOver({record(3, 0, 10), record(3, 10, 12)});
    map->header()->addLengthByte(1000000);
    map->header()->calculateBlockCount();
    EXPECT_THROW(MapStream::revisionRange(map), ZRV::Exception::InvalidData);
}
