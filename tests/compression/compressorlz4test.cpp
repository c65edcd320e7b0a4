#include "compression/compressorlz4.h"
#include "compression/decompressionstream.h"
#include "support/logcapture.h"
#include "support/testbytes.h"

#include <gtest/gtest.h>

using namespace ZRV::Stream;
using ZRV::Core::Compression::Lz4;
using ZRV::Core::Compression::Lz4Flagged;

namespace {

const int MiB = 1048576;

// Announces at most 4 KiB at a time, as a pipe does.
class PipeLikeBuffer : public QBuffer
{
public:
    qint64 bytesAvailable() const override { return qMin<qint64>(QBuffer::bytesAvailable(), 4096); }
};

QByteArray lz4Compressed(const QByteArray& input, ZRV::Core::Compression::Algorithm algorithm, bool pipeLike = false)
{
    auto source = pipeLike ? QSharedPointer<QBuffer>(new PipeLikeBuffer) : QSharedPointer<QBuffer>::create();
    source->setData(input);
    source->open(QIODevice::ReadOnly);
    Compression::CompressorLz4 engine(source, algorithm, true);
    QByteArray output(input.size() + input.size() / 100 + 64, Qt::Uninitialized);
    output.resize(int(engine.readData(output.data(), output.size())));
    EXPECT_TRUE(engine.atEnd());
    return output;
}

// "flags/uncompressed size[/c]" for each block; "c" marks a compressed size field.
QStringList headersOf(const QByteArray& compressed)
{
    auto in = bufferWith(compressed);
    in->open(QIODevice::ReadOnly);
    QStringList headers;
    quint64 flags, rawSize, codedSize = 0;
    while (Compression::CompressorLz4::tryReadInt(*in, flags)) {
        Compression::CompressorLz4::tryReadInt(*in, rawSize);
        const bool isCompressed = (flags & 1) && Compression::CompressorLz4::tryReadInt(*in, codedSize);
        in->skip(qint64(isCompressed ? codedSize : rawSize));
        headers << QString("%1/%2%3").arg(flags).arg(rawSize).arg(isCompressed ? "/c" : "");
    }
    return headers;
}

} // namespace

TEST(CompressorLz4, writesOneHeaderPerBlock)
{
    const struct
    {
        const char* name;
        QByteArray input;
        ZRV::Core::Compression::Algorithm algorithm;
        QStringList headers;
    } rows[] = {
        {"empty", {}, Lz4, {}},
        {"oneBlock", compressibleBytes(MiB), Lz4, {"1/1048576/c"}},
        {"oneBlockPlusOneByte", compressibleBytes(MiB + 1), Lz4, {"1/1048576/c", "0/1"}},
        {"flaggedOneBlockPlusOneByte", compressibleBytes(MiB + 1), Lz4Flagged, {"3/1048576/c", "2/1"}},
        {"incompressibleStoredAsIs", randomBytes(1000), Lz4, {"0/1000"}},
        {"flaggedIncompressibleStoredAsIs", randomBytes(1000), Lz4Flagged, {"2/1000"}},
    };
    for (const auto& row : rows) {
        const QByteArray compressed = lz4Compressed(row.input, row.algorithm);
        EXPECT_EQ(headersOf(compressed), row.headers) << row.name;
        EXPECT_EQ(lz4Compressed(row.input, row.algorithm, true), compressed) << row.name;
        EXPECT_TRUE(row.input.size() != 1000 || compressed.endsWith(row.input)) << row.name;
    }
    // 300 bytes compress to c < 128 bytes: flags, 300 as AC 02, c, then c bytes.
    for (auto [algorithm, header] : {std::pair{Lz4, "\x01\xac\x02"}, {Lz4Flagged, "\x03\xac\x02"}}) {
        const QByteArray compressed = lz4Compressed(QByteArray(300, 'z'), algorithm);
        EXPECT_TRUE(compressed.startsWith(header));
        EXPECT_EQ(quint8(compressed.at(3)), compressed.size() - 4);
    }
}

TEST(CompressorLz4, hostileBlocksCloseTheDecompressionStream)
{
    const QByteArray valid300 = lz4Compressed(compressibleBytes(300), Lz4);
    const QString badBlock = "Error in decompressed block data";
    const QString cutInteger = "DecompressionStream: (de)compressor return stream error";
    const struct
    {
        const char* name;
        QByteArray input;
        QString error;
    } rows[] = {
        {"cutInsideFlags", QByteArray::fromHex("81"), cutInteger},
        {"cutInsideSizeInteger", QByteArray::fromHex("0180"), cutInteger},
        {"missingSize", QByteArray::fromHex("00"), badBlock},
        {"missingCompressedSize", QByteArray::fromHex("0164"), badBlock},
        {"zeroSize", QByteArray::fromHex("0000"), badBlock},
        {"sizeOneAboveBlock", QByteArray::fromHex("018180407f") + QByteArray(127, 'x'), badBlock},
        {"sizeNearTwoToTheSixtyFour", QByteArray::fromHex("00ffffffffffffffffff01") + "abc", badBlock},
        {"compressedSizeZero", QByteArray::fromHex("016400"), badBlock},
        {"compressedSizeAboveBound", QByteArray::fromHex("016475") + QByteArray(117, 'x'), badBlock},
        {"storedPayloadShort", QByteArray::fromHex("000a") + "12345", badBlock},
        {"compressedPayloadShort", valid300.left(valid300.size() - 1), badBlock},
        {"undecodablePayload", QByteArray::fromHex("016414") + QByteArray(20, '\xff'), badBlock},
        {"claimsOneByteMore", QByteArray(valid300).replace(1, 1, "\xad"), badBlock},
    };
    for (const auto& row : rows) {
        DecompressionStream stream(bufferWith(row.input), Lz4);
        ASSERT_TRUE(stream.open(QIODevice::ReadOnly));
        LogCapture log;

        EXPECT_EQ(stream.read(4096), QByteArray()) << row.name;
        EXPECT_EQ(stream.errorString(), row.error) << row.name;
        EXPECT_FALSE(stream.isOpen()) << row.name;
        const QString logged = row.error == badBlock ? cutInteger + " message: \"" + badBlock + "\"" : cutInteger;
        EXPECT_EQ(log.texts(), QStringList(logged)) << row.name;
    }
}
