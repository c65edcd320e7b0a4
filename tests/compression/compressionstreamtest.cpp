#include "compression/compressionstream.h"
#include "compression/decompressionstream.h"
#include "support/externaltool.h"
#include "support/logcapture.h"
#include "support/testbytes.h"
#include "support/trickledevice.h"

#include <QTemporaryFile>
#include <gtest/gtest.h>

using namespace ZRV::Stream;
using ZRV::Core::Compression::Algorithm;
using ZRV::Core::Compression::Gzip;
using ZRV::Core::Compression::Lz4;
using ZRV::Core::Compression::Lz4Flagged;

namespace {

const int MiB = 1048576;
const QString NoError = QBuffer().errorString();

template <class Stream>
QByteArray pass(const QByteArray& input, Algorithm algorithm, qint64 chunk = 100003)
{
    Stream stream(bufferWith(input), algorithm);
    EXPECT_TRUE(stream.open(QIODevice::ReadOnly));
    const QByteArray output = readUntilAtEnd(stream, chunk);
    EXPECT_EQ(stream.errorString(), NoError);
    return output;
}

// Runs the gzip command over a file holding input (so that it records a file name) and returns
// what it prints.
QByteArray gzipCommand(const QStringList& arguments, const QByteArray& input)
{
    QTemporaryFile file;
    EXPECT_TRUE(file.open() && file.write(input) == input.size() && file.flush());
    return runTool("gzip", arguments + QStringList{"-c", file.fileName()});
}

} // namespace

// The LZ4 reader ignores flag value 2, so each LZ4 variant is read back by the other one.
TEST(CompressionStreams, roundTripGivesBackTheSameBytes)
{
    const std::pair<const char*, int> sizes[] = {
        {"empty", 0}, {"tiny", 5}, {"oneBlock", MiB}, {"oneBlockPlusOneByte", MiB + 1}, {"multiMiB", 5 * MiB + 123}};
    for (Algorithm algorithm : {Gzip, Lz4, Lz4Flagged}) {
        const Algorithm reader = algorithm == Gzip ? Gzip : algorithm == Lz4 ? Lz4Flagged : Lz4;
        for (const auto& [name, size] : sizes) {
            for (bool compressible : {true, false}) {
                SCOPED_TRACE(testing::Message()
                             << "algorithm " << algorithm << " " << name << (compressible ? " text" : " random"));
                const QByteArray input = compressible ? compressibleBytes(size) : randomBytes(size);
                const QByteArray compressed = pass<CompressionStream>(input, algorithm);
                if (compressible && size > 1000) {
                    EXPECT_LT(compressed.size(), input.size() / 2);
                }
                EXPECT_TRUE(pass<DecompressionStream>(compressed, reader) == input);
            }
        }
    }
}

TEST(CompressionStreams, smallReadsReturnExactlyWhatWasAskedUntilAtEnd)
{
    const QByteArray input = compressibleBytes(MiB + 1);
    for (Algorithm algorithm : {Gzip, Lz4}) {
        QList<qint64> sizes;
        CompressionStream compressing(bufferWith(input), algorithm);
        ASSERT_TRUE(compressing.open(QIODevice::ReadOnly));
        const QByteArray compressed = readUntilAtEnd(compressing, 1000, &sizes);
        EXPECT_EQ(sizes.count(1000), compressed.size() / 1000) << algorithm;

        sizes.clear();
        DecompressionStream decompressing(bufferWith(compressed), algorithm);
        ASSERT_TRUE(decompressing.open(QIODevice::ReadOnly));
        EXPECT_TRUE(readUntilAtEnd(decompressing, 1000, &sizes) == input) << algorithm;
        EXPECT_EQ(sizes.count(1000), input.size() / 1000) << algorithm;
    }
}

TEST(CompressionStreams, unsupportedAlgorithmMakesAStreamThatCannotOpen)
{
    for (int value : {0, 2, 5}) {
        LogCapture log;
        auto source = bufferWith("abc");
        CompressionStream compressing(source, Algorithm(value));
        DecompressionStream decompressing(source, Algorithm(value));
        EXPECT_EQ(log.texts(), QStringList({"Unsupported compression algorithm", "Unsupported compression algorithm"}));
        for (Compression::EngineStream* stream :
             std::initializer_list<Compression::EngineStream*>{&compressing, &decompressing}) {
            EXPECT_FALSE(stream->open(QIODevice::ReadOnly));
            EXPECT_EQ(stream->errorString(), "Unsupported compression algorithm");
            EXPECT_TRUE(stream->atEnd());
        }
        EXPECT_FALSE(source->isOpen());
    }
}

TEST(CompressionStreams, sourceReadFailureClosesTheCompressionStream)
{
    auto source = QSharedPointer<TrickleDevice>::create("abc", 3, 0);
    source->open(QIODevice::ReadOnly);
    CompressionStream stream(source, Lz4);
    ASSERT_TRUE(stream.open(QIODevice::ReadOnly));
    LogCapture log;

    char bytes[64];
    EXPECT_EQ(stream.read(bytes, 64), -1);
    EXPECT_EQ(stream.errorString(), "Error in compressed block data");
    EXPECT_EQ(log.texts(),
              QStringList("CompressionStream: compressor return stream error message: "
                          "\"Error in compressed block data\""));
    EXPECT_FALSE(stream.isOpen() || source->isOpen());
}

TEST(CompressionStreams, gzipSourceReadFailureIsAReadError)
{
    const QByteArray compressed = pass<CompressionStream>(compressibleBytes(100000), Gzip);
    CompressionStream compressing(QSharedPointer<TrickleDevice>::create(compressibleBytes(100000), 4096, 50000), Gzip);
    DecompressionStream decompressing(QSharedPointer<TrickleDevice>::create(compressed, 4096, 100), Gzip);
    const std::pair<Compression::EngineStream*, QString> rows[] = {
        {&compressing, "Cannot read the data to compress: trickle device failed"},
        {&decompressing, "Cannot read the gzip data: trickle device failed"}};
    for (const auto& [stream, error] : rows) {
        ASSERT_TRUE(stream->open(QIODevice::ReadOnly));
        LogCapture log;
        QByteArray chunk(1000, Qt::Uninitialized);
        qint64 count = 0;
        while ((count = stream->read(chunk.data(), chunk.size())) > 0) { }
        EXPECT_EQ(count, -1);
        EXPECT_EQ(stream->errorString(), error);
        EXPECT_TRUE(stream->atEnd());
    }
}

// Silent truncation is data loss: every kind of damage is a read error naming it, and the bytes
// before it are all that was handed out.
TEST(CompressionStreams, damagedGzipIsAReadError)
{
    const QByteArray input = compressibleBytes(MiB);
    const QByteArray compressed = pass<CompressionStream>(input, Gzip);
    const int size = compressed.size();
    const QString cutShort = "The gzip data is cut short";
    const struct
    {
        const char* name;
        QByteArray bytes;
        QString error;
    } rows[] = {
        {"headerMagic", flipped(compressed, 0, 0x55), "Damaged gzip data: incorrect header check"},
        {"deflateData", flipped(compressed, size / 2, 0x55), ""},
        {"crcFirstByte", flipped(compressed, size - 8), "Damaged gzip data: incorrect data check"},
        {"lengthFirstByte", flipped(compressed, size - 4), "Damaged gzip data: incorrect length check"},
        {"empty", "", cutShort},
        {"headerOnly", compressed.left(10), cutShort},
        {"truncatedInHalf", compressed.left(size / 2), cutShort},
        {"truncatedInsideCrc", compressed.left(size - 6), cutShort},
        {"truncatedInsideLength", compressed.left(size - 1), cutShort},
        {"garbageAfterMember", compressed + "x", cutShort},
        {"secondMemberDamaged", compressed + flipped(compressed, 3, 0xE0),
         "Damaged gzip data: unknown header flags set"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        auto source = QSharedPointer<TrickleDevice>::create(row.bytes, 5000);
        DecompressionStream stream(source, Gzip);
        ASSERT_TRUE(stream.open(QIODevice::ReadOnly));
        LogCapture log;
        QByteArray output;
        qint64 count = 0;
        QByteArray chunk(65536, Qt::Uninitialized);
        while ((count = stream.read(chunk.data(), chunk.size())) > 0)
            output += chunk.left(int(count));
        EXPECT_EQ(count, -1);
        if (row.error == cutShort) {
            EXPECT_TRUE(input.startsWith(output));
        }
        if (row.error.isEmpty())
            EXPECT_TRUE(stream.errorString().startsWith("Damaged gzip data: ")) << stream.errorString().toStdString();
        else
            EXPECT_EQ(stream.errorString(), row.error);
        EXPECT_TRUE(stream.atEnd());
        EXPECT_FALSE(stream.isOpen() || source->isOpen());
        EXPECT_EQ(log.texts().size(), 1);
    }
}

// Ties the format to a tool nobody here wrote, in both directions, including a multi-member file.
TEST(CompressionStreams, gzipCommandInterop)
{
    const QByteArray input = compressibleBytes(3 * MiB + 7) + randomBytes(100000);
    EXPECT_TRUE(gzipCommand({"-d"}, pass<CompressionStream>(input, Gzip)) == input);
    for (const char* level : {"-1", "-6", "-9"})
        EXPECT_TRUE(pass<DecompressionStream>(gzipCommand({level}, input), Gzip) == input) << level;
    const QByteArray members = gzipCommand({}, "first part ") + gzipCommand({"-n"}, "second part");
    EXPECT_EQ(pass<DecompressionStream>(members, Gzip), "first part second part");
}
