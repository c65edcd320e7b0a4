#include "stream/exception/erroroperation.h"
#include "stream/exception/unsupportedoperation.h"
#include "stream/istreamread.h"
#include "stream/istreamwrite.h"
#include "support/logcapture.h"

#include <QBuffer>
#include <QTemporaryFile>
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

QSharedPointer<QFile> closedFileWith(const QByteArray& bytes, QTemporaryFile& file)
{
    file.open();
    file.write(bytes);
    file.close();
    return QSharedPointer<QFile>::create(file.fileName());
}

const char* const Refusal = "stream don't support this operation";

} // namespace

TEST(IStream, opensClosedSourceUnbuffered)
{
    QTemporaryFile file;
    auto source = closedFileWith("0123456789", file);
    PassThroughRead stream(source, nullptr);

    ASSERT_TRUE(stream.open(QIODevice::ReadOnly));
    EXPECT_EQ(source->openMode(), QIODevice::ReadOnly | QIODevice::Unbuffered);
    EXPECT_EQ(stream.openMode(), QIODevice::ReadOnly | QIODevice::Unbuffered);
    EXPECT_EQ(stream.read(4), "0123");
    EXPECT_EQ(stream.pos(), 4);
    EXPECT_EQ(stream.size(), 10);
    EXPECT_TRUE(stream.seek(8));
    EXPECT_EQ(stream.readAll(), "89");
    EXPECT_TRUE(stream.atEnd());
    EXPECT_TRUE(stream.reset());
    EXPECT_EQ(stream.pos(), 0);
}

TEST(IStream, leavesAnOpenSourceAsItIs)
{
    auto source = QSharedPointer<QBuffer>::create();
    source->open(QIODevice::WriteOnly);
    PassThroughRead stream(source, nullptr);

    EXPECT_TRUE(stream.open(QIODevice::ReadOnly));
    EXPECT_EQ(source->openMode() & QIODevice::ReadWrite, QIODevice::WriteOnly);
}

TEST(IStream, closedOrNullSourceAnswersNeutrally)
{
    QTemporaryFile file;
    PassThroughRead closed(closedFileWith("abc", file), nullptr);
    EXPECT_EQ(closed.pos(), 0);
    EXPECT_EQ(closed.size(), 0);
    EXPECT_FALSE(closed.atEnd());
    EXPECT_FALSE(closed.seek(1));
    EXPECT_FALSE(closed.reset());

    PassThroughRead null(nullptr, nullptr);
    EXPECT_FALSE(null.open(QIODevice::ReadOnly));
    EXPECT_FALSE(null.isSequential());
    EXPECT_FALSE(null.isOpen());
}

TEST(IStream, refusesNotOpenWithoutTouchingTheSource)
{
    auto source = QSharedPointer<QBuffer>::create();
    PassThroughRead stream(source, nullptr);
    EXPECT_FALSE(stream.IStream::open(QIODevice::NotOpen));
    EXPECT_FALSE(source->isOpen());
}

TEST(IStream, sourceThatFailsToOpenKeepsStreamClosed)
{
    auto missing = QSharedPointer<QFile>::create("/nonexistent/zrv/file");
    PassThroughRead stream(missing, nullptr);
    EXPECT_FALSE(stream.open(QIODevice::ReadOnly));
    EXPECT_FALSE(stream.isOpen());
}

TEST(IStream, closingAndDestroyingCloseASharedSource)
{
    auto source = QSharedPointer<QBuffer>::create();
    {
        PassThroughRead stream(source, nullptr);
        stream.open(QIODevice::ReadOnly);
        stream.close();
        EXPECT_FALSE(source->isOpen());
        EXPECT_FALSE(stream.isOpen());
        ASSERT_TRUE(stream.open(QIODevice::ReadOnly));
        EXPECT_TRUE(source->isOpen());
    }
    EXPECT_FALSE(source->isOpen());
}

TEST(IStream, neverReportsACompleteLine)
{
    auto source = QSharedPointer<QBuffer>::create();
    source->setData("line\n");
    PassThroughRead stream(source, nullptr);
    stream.open(QIODevice::ReadOnly);
    EXPECT_FALSE(stream.canReadLine());
}

TEST(IStream, metaObjectNamesAreFullNames)
{
    PassThroughRead read(nullptr, nullptr);
    EXPECT_STREQ(read.IStreamRead::metaObject()->className(), "ZRV::Stream::IStreamRead");
    EXPECT_STREQ(IStream::staticMetaObject.className(), "ZRV::Stream::IStream");
    EXPECT_STREQ(IStreamWrite::staticMetaObject.className(), "ZRV::Stream::IStreamWrite");
}

TEST(IStreamRead, refusesModesWithoutReadAndAnyWrite)
{
    auto source = QSharedPointer<QBuffer>::create();
    PassThroughRead stream(source, nullptr);
    LogCapture log;

    EXPECT_THROW(stream.open(QIODevice::WriteOnly), Exception::UnsupportedOperation);
    EXPECT_TRUE(log.contains(QtWarningMsg,
                             QString("virtual bool ZRV::Stream::IStreamRead::open(QIODevice::OpenMode) ") + Refusal));
    EXPECT_FALSE(stream.isOpen());

    ASSERT_TRUE(stream.open(QIODevice::ReadWrite));
    EXPECT_THROW(stream.write("x"), Exception::UnsupportedOperation);
    EXPECT_TRUE(log.contains(
        QtWarningMsg, QString("virtual qint64 ZRV::Stream::IStreamRead::writeData(const char *, qint64) ") + Refusal));
}

TEST(IStreamWrite, acceptsExactlyWriteOnly)
{
    auto source = QSharedPointer<QBuffer>::create();
    PassThroughWrite stream(source, nullptr);
    LogCapture log;

    EXPECT_THROW(stream.open(QIODevice::WriteOnly | QIODevice::Truncate), Exception::UnsupportedOperation);
    EXPECT_TRUE(log.contains(QtWarningMsg,
                             QString("virtual bool ZRV::Stream::IStreamWrite::open(QIODevice::OpenMode) ") + Refusal));

    ASSERT_TRUE(stream.open(QIODevice::WriteOnly));
    EXPECT_EQ(source->openMode(), QIODevice::WriteOnly | QIODevice::Unbuffered);
    EXPECT_EQ(stream.write("abc"), 3);
    EXPECT_EQ(source->data(), "abc");

    char byte;
    EXPECT_THROW(stream.readData(&byte, 1), Exception::UnsupportedOperation);
    EXPECT_TRUE(log.contains(QtWarningMsg,
                             QString("virtual qint64 ZRV::Stream::IStreamWrite::readData(char *, qint64) ") + Refusal));
}

TEST(StreamExceptions, carryTheirMessages)
{
    EXPECT_EQ(Exception::UnsupportedOperation().message(), Refusal);
    EXPECT_STREQ(Exception::UnsupportedOperation().what(), Refusal);
    const Exception::ErrorOperation error("disk gone");
    const ZRV::Exception::Base& base = error;
    EXPECT_EQ(base.message(), "disk gone");
    EXPECT_STREQ(base.what(), "disk gone");
}
