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

    EXPECT_EQ(stream.read(64), QByteArray());
    EXPECT_EQ(stream.errorString(), "Error in compressed block data");
    EXPECT_EQ(log.texts(), QStringList("CompressionStream: compressor return stream error message: "
                                       "\"Error in compressed block data\""));
    EXPECT_FALSE(stream.isOpen() || source->isOpen());
}

TEST(CompressionStreams, corruptGzipEndsTheOutputEarlyWithoutAnError)
{
    const QByteArray input = compressibleBytes(MiB);
    const QByteArray compressed = pass<CompressionStream>(input, Gzip);
    // Data is handed out as it is inflated, so trailer damage is met only after the last byte.
    const int size = compressed.size();
    const struct { const char* name; int flippedByte; int keptBytes; bool shortened; } rows[] = {
        {"headerMagic", 0, size, true},          {"deflateData", size / 2, size, true},
        {"truncatedInHalf", -1, size / 2, true}, {"crcFirstByte", size - 8, size, false},
        {"truncatedInsideCrc", -1, size - 6, false}};
    for (const auto& row : rows) {
        const QByteArray kept = compressed.left(row.keptBytes);
        const QByteArray damaged = row.flippedByte < 0 ? kept : flipped(kept, row.flippedByte, 0x55);
        DecompressionStream stream(bufferWith(damaged), Gzip);
        ASSERT_TRUE(stream.open(QIODevice::ReadOnly));

        EXPECT_EQ(readUntilAtEnd(stream, 65536) != input, row.shortened) << row.name;
        EXPECT_TRUE(stream.atEnd()) << row.name;
        EXPECT_EQ(stream.errorString(), NoError) << row.name;
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
