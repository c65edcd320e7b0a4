// The range, fixed-size, chunk and zero-spacer streams.
#include "stream/chunkstream.h"
#include "stream/istreamwrite.h"
#include "stream/joinstream.h"
#include "stream/rangestream.h"
#include "stream/readfixedsizestream.h"
#include "stream/spacerzerostream.h"
#include "support/streamtesting.h"
#include "support/trickledevice.h"

using namespace ZRV::Stream;
using LongRange = Extensions::Range<long long>;

TEST(RangeStream, readsSeeksAndReopensWithinTheRange)
{
    const QByteArray bytes = randomBytes(100);
    RangeStream range(bufferWith(bytes), LongRange(20, 10));
    ASSERT_TRUE(range.open(QIODevice::ReadOnly));
    EXPECT_EQ(range.size(), 10);
    EXPECT_EQ(range.read(4), bytes.mid(10, 4));
    EXPECT_TRUE(range.seek(5));
    EXPECT_EQ(range.pos(), 5);
    EXPECT_EQ(range.readAll(), bytes.mid(15, 5));
    EXPECT_TRUE(range.atEnd());
    EXPECT_TRUE(range.reset());
    EXPECT_EQ(range.read(7), bytes.mid(10, 7));
    EXPECT_FALSE(range.seek(11));
    EXPECT_TRUE(range.seek(10));
    EXPECT_TRUE(range.atEnd());
    range.close();
    ASSERT_TRUE(range.open(QIODevice::ReadOnly));
    EXPECT_EQ(range.pos(), 0);
    EXPECT_EQ(range.readAll(), bytes.mid(10, 10));

    RangeStream open(bufferWith(bytes), LongRange(10, 20, false, false));
    ASSERT_TRUE(open.open(QIODevice::ReadOnly));
    EXPECT_FALSE(open.seek(0) || open.seek(10));
    EXPECT_TRUE(open.seek(9));
}

TEST(RangeStream, sequentialShortOrFailingSource)
{
    RangeStream shifted(QSharedPointer<TrickleDevice>::create("abcdef"), LongRange(2, 4));
    EXPECT_FALSE(shifted.open(QIODevice::ReadOnly));

    RangeStream head(QSharedPointer<TrickleDevice>::create("abcdef", 1), LongRange(0, 4));
    ASSERT_TRUE(head.open(QIODevice::ReadOnly));
    EXPECT_FALSE(head.seek(1));
    EXPECT_EQ(readInSteps(head, 3), "abcd");

    RangeStream longer(QSharedPointer<TrickleDevice>::create("abc"), LongRange(0, 10));
    ASSERT_TRUE(longer.open(QIODevice::ReadOnly));
    EXPECT_EQ(readInSteps(longer, 4), "abc");

    RangeStream failing(QSharedPointer<TrickleDevice>::create("abcdef", 10, 0), LongRange(0, 4));
    ASSERT_TRUE(failing.open(QIODevice::ReadOnly));
    EXPECT_EQ(failing.read(4), QByteArray());
    EXPECT_EQ(failing.pos(), 0);
}

TEST(ReadFixedSizeStream, readsAndSeeksWithinTheWindow)
{
    const QByteArray bytes = randomBytes(100);
    ReadFixedSizeStream window(bufferWith(bytes), 4);
    ASSERT_TRUE(window.open(QIODevice::ReadOnly));
    EXPECT_EQ(window.readAll(), bytes.left(4));
    EXPECT_TRUE(window.atEnd());
    EXPECT_TRUE(window.seek(2));
    EXPECT_EQ(window.read(10), bytes.mid(2, 2));
    EXPECT_FALSE(window.seek(5));
    EXPECT_TRUE(window.seek(4));
    EXPECT_TRUE(window.atEnd());

    ReadFixedSizeStream sequential(QSharedPointer<TrickleDevice>::create("abcdef", 2), 10);
    ASSERT_TRUE(sequential.open(QIODevice::ReadOnly));
    EXPECT_FALSE(sequential.seek(0));
    EXPECT_EQ(readInSteps(sequential, 1), "abcdef");
}

TEST(ReadFixedSizeStream, smallBufferedReadsStopExactlyAtTheSize)
{
    const QByteArray bytes = randomBytes(50'000);
    for (qint64 step : {1, 100, 4096}) {
        ReadFixedSizeStream window(bufferWith(bytes), 20'000);
        ASSERT_TRUE(window.open(QIODevice::ReadOnly));
        const QByteArray first = window.read(step);
        EXPECT_EQ(window.pos(), step);
        EXPECT_FALSE(window.atEnd());
        EXPECT_EQ(first + readInSteps(window, step), bytes.left(20'000)) << "step " << step;
        EXPECT_EQ(window.pos(), 20'000);
    }
}

TEST(ChunkStream, everyReadButTheLastIsFullAndAFailureEndsTheCall)
{
    ChunkStream chunks(QSharedPointer<TrickleDevice>::create("0123456789abcdefghij", 3));
    ASSERT_TRUE(chunks.open(QIODevice::ReadOnly));
    EXPECT_EQ(chunks.read(8), "01234567");
    EXPECT_EQ(chunks.read(8), "89abcdef");
    EXPECT_EQ(chunks.read(8), "ghij");
    EXPECT_TRUE(chunks.atEnd());
    EXPECT_EQ(chunks.read(8), QByteArray());

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
    EXPECT_TRUE(spacer.atEnd());
    EXPECT_TRUE(spacer.reset());
    EXPECT_EQ(spacer.readAll().size(), 5);
    EXPECT_TRUE(spacer.seek(5));
    EXPECT_FALSE(spacer.seek(6) || spacer.seek(-1));

    for (qint64 step : {1, 100, 4096}) {
        SpacerZeroStream buffered(40'000);
        ASSERT_TRUE(buffered.open(QIODevice::ReadOnly));
        buffered.read(step);
        EXPECT_EQ(buffered.pos(), step);
        EXPECT_EQ(step + readInSteps(buffered, step).size(), 40'000) << "step " << step;
    }
}

// Containers name a failing stage by its meta-object class name.
TEST(StreamNames, areFullNames)
{
    const std::pair<const QMetaObject&, const char*> names[] = {
        {IStream::staticMetaObject, "IStream"},
        {IStreamRead::staticMetaObject, "IStreamRead"},
        {IStreamWrite::staticMetaObject, "IStreamWrite"},
        {JoinStream::staticMetaObject, "JoinStream"},
        {RangeStream::staticMetaObject, "RangeStream"},
        {ReadFixedSizeStream::staticMetaObject, "ReadFixedSizeStream"},
        {ChunkStream::staticMetaObject, "ChunkStream"},
        {SpacerZeroStream::staticMetaObject, "SpacerZeroStream"},
    };
    for (const auto& [meta, name] : names)
        EXPECT_EQ(QString(meta.className()), QString("ZRV::Stream::") + name);
}
