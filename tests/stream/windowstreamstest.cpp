// The range, fixed-size, chunk and zero-spacer streams.
#include "stream/chunkstream.h"
#include "stream/exception/unsupportedoperation.h"
#include "stream/rangestream.h"
#include "stream/readfixedsizestream.h"
#include "stream/spacerzerostream.h"
#include "support/logcapture.h"
#include "support/trickledevice.h"

#include <QBuffer>
#include <QTemporaryFile>
#include <gtest/gtest.h>

using namespace ZRV::Stream;

namespace {

QByteArray hundredBytes()
{
    QByteArray bytes(100, '\0');
    for (int i = 0; i < bytes.size(); ++i)
        bytes[i] = char(i);
    return bytes;
}

QSharedPointer<QFile> closedFile(QTemporaryFile& file, const QByteArray& bytes)
{
    file.open();
    file.write(bytes);
    file.close();
    return QSharedPointer<QFile>::create(file.fileName());
}

QByteArray readInSteps(QIODevice& device, qint64 step)
{
    QByteArray all;
    for (int guard = 0; !device.atEnd() && guard < 1'000'000; ++guard)
        all += device.read(step);
    return all;
}

} // namespace

TEST(RangeStream, readsSeeksAndResetsWithinTheRange)
{
    QTemporaryFile file;
    const QByteArray bytes = hundredBytes();
    RangeStream range(closedFile(file, bytes), Extensions::Range<long long>(20, 10));
    ASSERT_TRUE(range.open(QIODevice::ReadOnly));
    EXPECT_EQ(range.size(), 10);
    EXPECT_EQ(range.read(4), bytes.mid(10, 4));
    EXPECT_TRUE(range.seek(5));
    EXPECT_EQ(range.pos(), 5);
    EXPECT_EQ(range.readAll(), bytes.mid(15, 5));
    EXPECT_TRUE(range.atEnd());
    EXPECT_TRUE(range.reset());
    EXPECT_EQ(range.readAll(), bytes.mid(10, 10));
    EXPECT_FALSE(range.seek(11));
    EXPECT_TRUE(range.seek(10));
    EXPECT_TRUE(range.atEnd());
}

TEST(RangeStream, boundFlagsLimitSeeking)
{
    QTemporaryFile file;
    RangeStream range(closedFile(file, hundredBytes()), Extensions::Range<long long>(10, 20, false, false));
    ASSERT_TRUE(range.open(QIODevice::ReadOnly));
    EXPECT_FALSE(range.seek(0));
    EXPECT_FALSE(range.seek(10));
    EXPECT_TRUE(range.seek(9));
}

TEST(RangeStream, secondOpenStartsAgain)
{
    QTemporaryFile file;
    const QByteArray bytes = hundredBytes();
    RangeStream range(closedFile(file, bytes), Extensions::Range<long long>(30, 40));
    ASSERT_TRUE(range.open(QIODevice::ReadOnly));
    range.read(7);
    range.close();
    ASSERT_TRUE(range.open(QIODevice::ReadOnly));
    EXPECT_EQ(range.pos(), 0);
    EXPECT_EQ(range.readAll(), bytes.mid(30, 10));
}

TEST(RangeStream, sequentialSourceOnlyFromZero)
{
    RangeStream shifted(QSharedPointer<TrickleDevice>::create("abcdef"), Extensions::Range<long long>(2, 4));
    EXPECT_FALSE(shifted.open(QIODevice::ReadOnly));

    RangeStream head(QSharedPointer<TrickleDevice>::create("abcdef", 1), Extensions::Range<long long>(0, 4));
    ASSERT_TRUE(head.open(QIODevice::ReadOnly));
    EXPECT_FALSE(head.seek(1));
    EXPECT_EQ(readInSteps(head, 3), "abcd");
}

TEST(RangeStream, sourceShorterThanRangeEndsTheStream)
{
    RangeStream range(QSharedPointer<TrickleDevice>::create("abc"), Extensions::Range<long long>(0, 10));
    ASSERT_TRUE(range.open(QIODevice::ReadOnly));
    EXPECT_EQ(readInSteps(range, 4), "abc");
}

TEST(RangeStream, failedSourceReadIsPassedOn)
{
    RangeStream range(QSharedPointer<TrickleDevice>::create("abcdef", 10, 0), Extensions::Range<long long>(0, 4));
    ASSERT_TRUE(range.open(QIODevice::ReadOnly));
    EXPECT_EQ(range.read(4), QByteArray());
    EXPECT_EQ(range.pos(), 0);
}

TEST(ReadFixedSizeStream, readsAWindowFromWhereTheSourceStands)
{
    QTemporaryFile file;
    const QByteArray bytes = hundredBytes();
    auto source = closedFile(file, bytes);
    ReadFixedSizeStream window(source, 4);
    ASSERT_TRUE(window.open(QIODevice::ReadOnly));
    EXPECT_EQ(window.readAll(), bytes.left(4));
    EXPECT_TRUE(window.atEnd());
    EXPECT_TRUE(window.seek(2));
    EXPECT_EQ(window.read(10), bytes.mid(2, 2));
    EXPECT_FALSE(window.seek(5));
    EXPECT_TRUE(window.seek(4));
    EXPECT_TRUE(window.atEnd());
}

TEST(ReadFixedSizeStream, smallBufferedReadsStopExactlyAtTheSize)
{
    QByteArray bytes(50'000, 'x');
    bytes[29'999] = 'y';
    for (qint64 step : {1, 100, 4096}) {
        auto source = QSharedPointer<QBuffer>::create();
        source->setData(bytes);
        source->open(QIODevice::ReadOnly);
        source->seek(10'000);
        source->close();
        ReadFixedSizeStream window(source, 20'000);
        ASSERT_TRUE(window.open(QIODevice::ReadOnly));
        EXPECT_EQ(window.read(step).size(), step);
        EXPECT_EQ(window.pos(), step);
        EXPECT_FALSE(window.atEnd());
        EXPECT_EQ(step + readInSteps(window, step).size(), 20'000) << "step " << step;
        EXPECT_EQ(window.pos(), 20'000);
    }
}

TEST(ReadFixedSizeStream, sequentialSourceCannotSeekAndShortSourceEnds)
{
    ReadFixedSizeStream window(QSharedPointer<TrickleDevice>::create("abcdef", 2), 10);
    ASSERT_TRUE(window.open(QIODevice::ReadOnly));
    EXPECT_FALSE(window.seek(0));
    EXPECT_EQ(readInSteps(window, 1), "abcdef");
}

TEST(ReadFixedSizeStream, alreadyOpenFileRefusesToOpenAgain)
{
    QTemporaryFile file;
    auto source = closedFile(file, "abc");
    source->open(QIODevice::ReadOnly);
    ReadFixedSizeStream window(source, 2);
    EXPECT_FALSE(window.open(QIODevice::ReadOnly));
}

TEST(ChunkStream, everyReadButTheLastIsFull)
{
    ChunkStream chunks(QSharedPointer<TrickleDevice>::create("0123456789abcdefghij", 3));
    ASSERT_TRUE(chunks.open(QIODevice::ReadOnly));
    EXPECT_EQ(chunks.read(8), "01234567");
    EXPECT_EQ(chunks.read(8), "89abcdef");
    EXPECT_EQ(chunks.read(8), "ghij");
    EXPECT_TRUE(chunks.atEnd());
    EXPECT_EQ(chunks.read(8), QByteArray());
}

TEST(ChunkStream, failedSourceReadEndsTheCall)
{
    ChunkStream partly(QSharedPointer<TrickleDevice>::create("0123456789", 3, 5));
    ASSERT_TRUE(partly.open(QIODevice::ReadOnly));
    EXPECT_EQ(partly.read(8), "01234");
    char byte;
    EXPECT_EQ(partly.read(&byte, 1), -1);
    EXPECT_EQ(partly.errorString(), "trickle device failed");
}

TEST(SpacerZeroStream, producesItsSizeInZeros)
{
    SpacerZeroStream spacer(5);
    ASSERT_TRUE(spacer.open(QIODevice::ReadOnly | QIODevice::Unbuffered));
    EXPECT_EQ(spacer.size(), 5);
    EXPECT_EQ(spacer.read(3), QByteArray(3, '\0'));
    EXPECT_EQ(spacer.read(3), QByteArray(2, '\0'));
    EXPECT_EQ(spacer.read(3), QByteArray());
    EXPECT_TRUE(spacer.atEnd());
    EXPECT_TRUE(spacer.reset());
    EXPECT_EQ(spacer.readAll().size(), 5);
    EXPECT_TRUE(spacer.seek(5));
    EXPECT_FALSE(spacer.seek(6));
    EXPECT_FALSE(spacer.seek(-1));
}

TEST(SpacerZeroStream, bufferedSmallReadsDeliverEveryByte)
{
    for (qint64 step : {1, 100, 4096}) {
        SpacerZeroStream spacer(40'000);
        ASSERT_TRUE(spacer.open(QIODevice::ReadOnly));
        spacer.read(step);
        EXPECT_EQ(spacer.pos(), step);
        EXPECT_EQ(step + readInSteps(spacer, step).size(), 40'000) << "step " << step;
    }
}

TEST(SpacerZeroStream, refusesWriting)
{
    LogCapture log;
    SpacerZeroStream spacer(5);
    EXPECT_THROW(spacer.open(QIODevice::WriteOnly), Exception::UnsupportedOperation);
    EXPECT_TRUE(log.contains(QtWarningMsg, "virtual bool ZRV::Stream::SpacerZeroStream::open(QIODevice::OpenMode) "
                                           "stream don't support this operation"));
    ASSERT_TRUE(spacer.open(QIODevice::ReadWrite));
    EXPECT_THROW(spacer.write("x"), Exception::UnsupportedOperation);
    EXPECT_TRUE(log.contains(QtWarningMsg,
                             "virtual qint64 ZRV::Stream::SpacerZeroStream::writeData(const char *, qint64) "
                             "stream don't support this operation"));
}

TEST(StreamNames, areFullNames)
{
    EXPECT_STREQ(RangeStream::staticMetaObject.className(), "ZRV::Stream::RangeStream");
    EXPECT_STREQ(ReadFixedSizeStream::staticMetaObject.className(), "ZRV::Stream::ReadFixedSizeStream");
    EXPECT_STREQ(ChunkStream::staticMetaObject.className(), "ZRV::Stream::ChunkStream");
    EXPECT_STREQ(SpacerZeroStream::staticMetaObject.className(), "ZRV::Stream::SpacerZeroStream");
}
