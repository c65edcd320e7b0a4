#include "compression/compressionstream.h"
#include "compression/compressorlz4.h"
#include "compression/decompressionstream.h"
#include "compression/parallelcompressor.h"
#include "support/externaltool.h"
#include "support/logcapture.h"
#include "support/testbytes.h"
#include "support/trickledevice.h"

#include <gtest/gtest.h>
#include <zlib.h>

using namespace ZRV::Stream;
using ZRV::Core::Compression::Algorithm;
using ZRV::Core::Compression::Gzip;
using ZRV::Core::Compression::Lz4;
using ZRV::Core::Compression::Lz4Flagged;

namespace {

const int Piece = Compression::ParallelCompressor::GzipPieceSize;
const int Block = Compression::CompressorLz4::BlockSize;

QByteArray compressed(const QByteArray& input, Algorithm algorithm, int workers, qint64 chunk = 70001)
{
    CompressionStream stream(bufferWith(input), algorithm);
    stream.setWorkerCount(workers);
    EXPECT_TRUE(stream.open(QIODevice::ReadOnly));
    const QByteArray output = readUntilAtEnd(stream, chunk);
    EXPECT_TRUE(stream.atEnd());
    EXPECT_EQ(stream.errorString(), QBuffer().errorString());
    return output;
}

QByteArray decompressed(const QByteArray& input, Algorithm algorithm)
{
    DecompressionStream stream(bufferWith(input), algorithm);
    EXPECT_TRUE(stream.open(QIODevice::ReadOnly));
    return readUntilAtEnd(stream, 65536);
}

// Whether the bytes are exactly one gzip member: zlib ends the member at their last byte.
bool isOneGzipMember(const QByteArray& bytes)
{
    z_stream stream{};
    inflateInit2(&stream, 16 + MAX_WBITS);
    QByteArray out(1 << 20, Qt::Uninitialized);
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.constData()));
    stream.avail_in = uInt(bytes.size());
    int result = Z_OK;
    while (result == Z_OK) {
        stream.next_out = reinterpret_cast<Bytef*>(out.data());
        stream.avail_out = uInt(out.size());
        result = inflate(&stream, Z_NO_FLUSH);
    }
    const bool one = result == Z_STREAM_END && stream.avail_in == 0;
    inflateEnd(&stream);
    return one;
}

// Compressible text with random stretches, so that pieces of both kinds meet.
QByteArray mixedBytes(int size)
{
    QByteArray bytes = compressibleBytes(size);
    for (int offset = Piece / 3; offset + 5000 < size; offset += Piece)
        bytes.replace(offset, 5000, randomBytes(5000, quint32(offset)));
    return bytes;
}

const std::pair<const char*, int> GzipSizes[] = {
    {"empty", 0},
    {"oneByte", 1},
    {"pieceMinusOne", Piece - 1},
    {"onePiece", Piece},
    {"onePiecePlusOne", Piece + 1},
    {"severalPieces", 5 * Piece + 77},
    {"exactlySixPieces", 6 * Piece},
};

} // namespace

TEST(ParallelCompression, gzipIsOneMemberThatGzipAndOurReaderRead)
{
    for (const auto& [name, size] : GzipSizes) {
        SCOPED_TRACE(name);
        const QByteArray input = mixedBytes(size);
        const QByteArray twoWorkers = compressed(input, Gzip, 2);
        EXPECT_TRUE(compressed(input, Gzip, 4, 1000) == twoWorkers);
        EXPECT_TRUE(isOneGzipMember(twoWorkers));
        EXPECT_TRUE(decompressed(twoWorkers, Gzip) == input);
        if (installed("gzip")) {
            EXPECT_TRUE(runTool("gzip", {"-d", "-c"}, twoWorkers) == input);
        }
    }
}

// Each piece is primed with the previous 32 KiB, so the pieces cost next to nothing in ratio.
TEST(ParallelCompression, gzipPiecesKeepTheRatioOfOneWorker)
{
    const QByteArray input = compressibleBytes(20 * Piece);
    const int oneWorker = compressed(input, Gzip, 1).size();
    const int twoWorkers = compressed(input, Gzip, 2).size();
    EXPECT_LT(twoWorkers, oneWorker + oneWorker / 100) << oneWorker;
}

TEST(ParallelCompression, lz4IsByteIdenticalToOneWorker)
{
    const std::pair<const char*, int> sizes[] = {
        {"empty", 0}, {"oneByte", 1}, {"blockMinusOne", Block - 1}, {"oneBlock", Block},
        {"oneBlockPlusOne", Block + 1}, {"severalBlocks", 3 * Block + 5}};
    for (Algorithm algorithm : {Lz4, Lz4Flagged}) {
        for (const auto& [name, size] : sizes) {
            SCOPED_TRACE(testing::Message() << "algorithm " << algorithm << " " << name);
            const QByteArray input = mixedBytes(size);
            const QByteArray oneWorker = compressed(input, algorithm, 1);
            EXPECT_TRUE(compressed(input, algorithm, 2) == oneWorker);
            EXPECT_TRUE(compressed(input, algorithm, 4, 999) == oneWorker);
        }
    }
}

// One worker is today's engine, even after a larger count was set and taken back.
TEST(ParallelCompression, oneWorkerKeepsTheSingleThreadedBytes)
{
    const QByteArray input = mixedBytes(3 * Piece + 5);
    for (Algorithm algorithm : {Gzip, Lz4}) {
        CompressionStream plain(bufferWith(input), algorithm);
        ASSERT_TRUE(plain.open(QIODevice::ReadOnly));
        const QByteArray expected = readUntilAtEnd(plain, 65536);

        CompressionStream stream(bufferWith(input), algorithm);
        stream.setWorkerCount(3);
        stream.setWorkerCount(0);
        EXPECT_EQ(stream.workerCount(), 1);
        ASSERT_TRUE(stream.open(QIODevice::ReadOnly));
        EXPECT_TRUE(readUntilAtEnd(stream, 65536) == expected) << algorithm;
    }
}

TEST(ParallelCompression, workerCountIsRefusedOnceOpen)
{
    CompressionStream stream(bufferWith(compressibleBytes(1000)), Gzip);
    ASSERT_TRUE(stream.open(QIODevice::ReadOnly));
    LogCapture log;
    stream.setWorkerCount(4);
    EXPECT_EQ(log.texts(), QStringList("CompressionStream: worker count set after open"));
    EXPECT_EQ(stream.workerCount(), 1);
}

// The pieces read before the failure come out first, then the read fails and the stream closes.
TEST(ParallelCompression, sourceFailureSurfacesAfterTheEarlierPieces)
{
    const QByteArray input = compressibleBytes(4 * Block);
    // The whole pieces before the failure, as they begin the stream of the whole input (the
    // gzip ones end with a sync flush, followed by the empty last piece and the trailer).
    const int gzipPieces = compressed(input.left(3 * Piece), Gzip, 2).size() - 2 - 8;
    const int lz4Blocks = compressed(input.left(Block), Lz4, 1).size();
    const struct
    {
        Algorithm algorithm;
        qint64 failAt;
        QString error;
        int before;
    } rows[] = {{Gzip, 3 * Piece + 100, "Cannot read the data to compress: trickle device failed", gzipPieces},
                {Lz4, Block + 100, "Error in compressed block data", lz4Blocks}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.algorithm);
        auto source = QSharedPointer<TrickleDevice>::create(input, 4096, row.failAt);
        CompressionStream stream(source, row.algorithm);
        stream.setWorkerCount(2);
        ASSERT_TRUE(stream.open(QIODevice::ReadOnly));
        LogCapture log;
        QByteArray output;
        QByteArray chunk(1000, Qt::Uninitialized);
        qint64 count = 0;
        while ((count = stream.read(chunk.data(), chunk.size())) > 0)
            output += chunk.left(int(count));
        EXPECT_EQ(count, -1);
        EXPECT_EQ(stream.errorString(), row.error);
        EXPECT_FALSE(stream.isOpen());
        // The read that meets the failure hands out nothing, so up to one request is missing.
        EXPECT_TRUE(compressed(input, row.algorithm, 2).startsWith(output));
        EXPECT_LE(output.size(), row.before);
        EXPECT_GT(output.size(), row.before - 1000);
    }
}
