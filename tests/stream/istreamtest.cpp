#include "stream/exception/erroroperation.h"
#include "stream/exception/unsupportedoperation.h"
#include "stream/istreamread.h"
#include "stream/istreamwrite.h"
#include "stream/joinstream.h"
#include "stream/readfixedsizestream.h"
#include "stream/spacerzerostream.h"
#include "support/logcapture.h"
#include "support/testbytes.h"
#include "support/trickledevice.h"

#include <QFile>
#include <functional>
#include <gtest/gtest.h>

using namespace ZRV::Stream;

namespace {

class PassThroughRead : public IStreamRead
{
public:
    using IStreamRead::IStreamRead;

protected:
    qint64 readData(char* data, qint64 maxSize) override { return source_->read(data, maxSize); }
};

class PassThroughWrite : public IStreamWrite
{
public:
    using IStreamWrite::IStreamWrite;

    using IStreamWrite::readData; // QIODevice::read never reaches it on a write-only device

protected:
    qint64 writeData(const char* data, qint64 maxSize) override { return source_->write(data, maxSize); }
};

} // namespace

// Position, size, seeking and the end are the source's; a closed source answers neutrally.
TEST(IStream, opensAClosedSourceUnbufferedAndClosesItAgain)
{
    auto source = bufferWith("0123\n56789");
    {
        PassThroughRead stream(source, nullptr);
        ASSERT_TRUE(stream.open(QIODevice::ReadOnly));
        EXPECT_EQ(source->openMode(), QIODevice::ReadOnly | QIODevice::Unbuffered);
        EXPECT_EQ(stream.openMode(), QIODevice::ReadOnly | QIODevice::Unbuffered);
        EXPECT_FALSE(stream.canReadLine());
        EXPECT_EQ(stream.read(4), "0123");
        EXPECT_EQ(stream.pos(), 4);
        EXPECT_EQ(stream.size(), 10);
        EXPECT_TRUE(stream.seek(8));
        EXPECT_EQ(stream.readAll(), "89");
        EXPECT_TRUE(stream.atEnd());
        EXPECT_TRUE(stream.reset());
        EXPECT_EQ(stream.pos(), 0);

        stream.close();
        EXPECT_FALSE(source->isOpen());
        EXPECT_TRUE(stream.pos() == 0 && stream.size() == 0 && !stream.atEnd());
        EXPECT_FALSE(stream.seek(1) || stream.reset());
        ASSERT_TRUE(stream.open(QIODevice::ReadOnly));
    }
    EXPECT_FALSE(source->isOpen());
}

TEST(IStream, openNeedsASourceAndLeavesAnOpenOneAsItIs)
{
    PassThroughRead null(nullptr, nullptr);
    EXPECT_FALSE(null.open(QIODevice::ReadOnly) || null.isSequential());
    PassThroughRead missing(QSharedPointer<QFile>::create("/nonexistent/zrv/file"), nullptr);
    EXPECT_FALSE(missing.open(QIODevice::ReadOnly) || missing.isOpen());

    auto source = QSharedPointer<QBuffer>::create();
    PassThroughRead stream(source, nullptr);
    EXPECT_FALSE(stream.IStream::open(QIODevice::NotOpen));
    EXPECT_FALSE(source->isOpen());
    source->open(QIODevice::WriteOnly);
    EXPECT_TRUE(stream.open(QIODevice::ReadOnly));
    EXPECT_EQ(source->openMode() & QIODevice::ReadWrite, QIODevice::WriteOnly);
}

// Callers open streams with plain ReadOnly; Qt must then hold nothing that the stream has not
// handed out, neither after a rewind nor after a readData that threw.
TEST(IStream, streamsOpenedWithoutUnbufferedKeepNoReadAhead)
{
    JoinStream join({bufferWith("abcd"), bufferWith("efgh")});
    ASSERT_TRUE(join.open(QIODevice::ReadOnly));
    EXPECT_EQ(join.read(2), "ab");
    EXPECT_TRUE(join.reset());
    EXPECT_EQ(join.readAll(), "abcdefgh");

    const auto failingJoin = [] {
        return QSharedPointer<JoinStream>::create(
            QList<QSharedPointer<QIODevice>>{bufferWith("abc"), QSharedPointer<TrickleDevice>::create("defgh", 2, 2)});
    };
    auto failing = failingJoin();
    ReadFixedSizeStream window(failingJoin(), 100);
    for (QIODevice* stream : std::initializer_list<QIODevice*>{failing.data(), &window}) {
        SCOPED_TRACE(stream->metaObject()->className());
        ASSERT_TRUE(stream->open(QIODevice::ReadOnly));
        EXPECT_THROW(stream->read(100), Exception::ErrorOperation);
        EXPECT_EQ(stream->bytesAvailable(), 0);
        EXPECT_EQ(stream->pos(), 0);
        EXPECT_FALSE(stream->atEnd());
    }
}

TEST(IStreamWrite, writesThroughAnUnbufferedSource)
{
    auto source = QSharedPointer<QBuffer>::create();
    PassThroughWrite stream(source, nullptr);
    ASSERT_TRUE(stream.open(QIODevice::WriteOnly));
    EXPECT_EQ(source->openMode(), QIODevice::WriteOnly | QIODevice::Unbuffered);
    EXPECT_EQ(stream.write("abc"), 3);
    EXPECT_EQ(source->data(), "abc");
}

// Each refusal logs the refusing function's signature, throws, and leaves the stream as it was.
TEST(StreamRefusals, logTheSignatureAndThrow)
{
    PassThroughRead read(QSharedPointer<QBuffer>::create(), nullptr);
    PassThroughWrite write(QSharedPointer<QBuffer>::create(), nullptr);
    JoinStream join({bufferWith("x")});
    SpacerZeroStream spacer(5);
    char byte;
    const std::pair<std::function<void()>, const char*> refusals[] = {
        {[&] { read.open(QIODevice::WriteOnly); }, "virtual bool ZRV::Stream::IStreamRead::open(QIODevice::OpenMode)"},
        {[&] {
             read.open(QIODevice::ReadWrite);
             read.write("x");
         },
         "virtual qint64 ZRV::Stream::IStreamRead::writeData(const char *, qint64)"},
        {[&] { write.open(QIODevice::WriteOnly | QIODevice::Truncate); },
         "virtual bool ZRV::Stream::IStreamWrite::open(QIODevice::OpenMode)"},
        {[&] { write.readData(&byte, 1); }, "virtual qint64 ZRV::Stream::IStreamWrite::readData(char *, qint64)"},
        {[&] { join.open(QIODevice::WriteOnly); }, "virtual bool ZRV::Stream::JoinStream::open(QIODevice::OpenMode)"},
        {[&] { join.open(QIODevice::ReadWrite); }, "virtual bool ZRV::Stream::JoinStream::open(QIODevice::OpenMode)"},
        {[&] { spacer.open(QIODevice::WriteOnly); },
         "virtual bool ZRV::Stream::SpacerZeroStream::open(QIODevice::OpenMode)"},
        {[&] {
             spacer.open(QIODevice::ReadWrite);
             spacer.write("x");
         },
         "virtual qint64 ZRV::Stream::SpacerZeroStream::writeData(const char *, qint64)"},
    };
    for (const auto& [refuse, signature] : refusals) {
        LogCapture log;
        try {
            refuse();
            ADD_FAILURE() << signature << " did not throw";
        } catch (const Exception::UnsupportedOperation& e) {
            EXPECT_STREQ(e.what(), "stream don't support this operation");
        }
        EXPECT_EQ(log.texts(), QStringList(QString(signature) + " stream don't support this operation"));
    }
    EXPECT_FALSE(join.isOpen() || write.isOpen());
}
