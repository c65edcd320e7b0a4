#include "stream/exception/erroroperation.h"
#include "stream/exception/unsupportedoperation.h"
#include "stream/joinstream.h"
#include "support/logcapture.h"
#include "support/trickledevice.h"

#include <QBuffer>
#include <QFile>
#include <gtest/gtest.h>

using namespace ZRV::Stream;

namespace {

QSharedPointer<QIODevice> buffer(const QByteArray& bytes)
{
    auto device = QSharedPointer<QBuffer>::create();
    device->setData(bytes);
    return device;
}

QByteArray readInSteps(QIODevice& device, qint64 step)
{
    QByteArray all;
    for (int guard = 0; !device.atEnd() && guard < 1'000'000; ++guard)
        all += device.read(step);
    return all;
}

} // namespace

TEST(JoinStream, emptyListIsAnEmptyStream)
{
    JoinStream join({});
    ASSERT_TRUE(join.open(QIODevice::ReadOnly));
    EXPECT_TRUE(join.atEnd());
    EXPECT_EQ(join.size(), 0);
    EXPECT_EQ(join.read(10), QByteArray());
}

TEST(JoinStream, readsAcrossPartBoundaries)
{
    JoinStream join({buffer("abc"), buffer(""), buffer("defgh")});
    ASSERT_TRUE(join.open(QIODevice::ReadOnly | QIODevice::Unbuffered));
    EXPECT_TRUE(join.isSequential());
    EXPECT_EQ(join.size(), 8);
    EXPECT_EQ(join.read(6), "abcdef");
    EXPECT_EQ(join.pos(), 6);
    EXPECT_EQ(join.read(6), "gh");
    EXPECT_EQ(join.pos(), 8);
    EXPECT_TRUE(join.atEnd());
    EXPECT_FALSE(join.seek(0));
}

TEST(JoinStream, smallReadsThroughQtBufferDeliverEveryByte)
{
    QByteArray big(100'000, '\0');
    for (int i = 0; i < big.size(); ++i)
        big[i] = char(i * 7);
    for (qint64 step : {1, 100, 4096}) {
        JoinStream join({buffer("header"), QSharedPointer<TrickleDevice>::create(big, 777)});
        ASSERT_TRUE(join.open(QIODevice::ReadOnly));
        EXPECT_EQ(readInSteps(join, step), "header" + big) << "step " << step;
    }
}

TEST(JoinStream, refusesEveryModeButReadOnly)
{
    LogCapture log;
    for (auto mode : {QIODevice::WriteOnly, QIODevice::ReadWrite}) {
        JoinStream join({buffer("x")});
        EXPECT_THROW(join.open(mode), Exception::UnsupportedOperation);
        EXPECT_FALSE(join.isOpen());
    }
    EXPECT_TRUE(log.contains(QtWarningMsg, "virtual bool ZRV::Stream::JoinStream::open(QIODevice::OpenMode) "
                                           "stream don't support this operation"));
}

TEST(JoinStream, partThatFailsToOpenFailsTheJoin)
{
    auto missing = QSharedPointer<QFile>::create("/nonexistent/zrv/part");
    JoinStream join({buffer("a"), missing});
    EXPECT_FALSE(join.open(QIODevice::ReadOnly));
    EXPECT_FALSE(join.isOpen());
}

TEST(JoinStream, failedPartReadThrowsWithThePartsError)
{
    LogCapture log;
    JoinStream join({buffer("abc"), QSharedPointer<TrickleDevice>::create("defgh", 2, 2)});
    ASSERT_TRUE(join.open(QIODevice::ReadOnly | QIODevice::Unbuffered));
    EXPECT_THROW(join.read(100), Exception::ErrorOperation);
    EXPECT_EQ(join.errorString(), "trickle device failed");
    EXPECT_EQ(join.pos(), 0);
    EXPECT_TRUE(log.contains(QtCriticalMsg, "JoinStream: read stream return error!"));
}

TEST(JoinStream, nullPartsAreDropped)
{
    JoinStream join({nullptr, buffer("ab")});
    join.addStream(nullptr);
    join.addStream(buffer("c"));
    ASSERT_TRUE(join.open(QIODevice::ReadOnly));
    EXPECT_EQ(join.readAll(), "abc");
}

TEST(JoinStream, resetRewindsUnlessAutoRemove)
{
    auto first = buffer("ab");
    auto second = buffer("cd");
    JoinStream join({first, second});
    ASSERT_TRUE(join.open(QIODevice::ReadOnly | QIODevice::Unbuffered));
    EXPECT_EQ(join.readAll(), "abcd");
    EXPECT_TRUE(join.reset());
    EXPECT_EQ(join.pos(), 0);
    EXPECT_EQ(join.readAll(), "abcd");

    join.setAutoRemove(true);
    EXPECT_FALSE(join.reset());
    join.read(1);
    EXPECT_FALSE(first->isOpen());
    EXPECT_FALSE(second->isOpen());
}

TEST(JoinStream, nameIsTheFullName)
{
    EXPECT_STREQ(JoinStream::staticMetaObject.className(), "ZRV::Stream::JoinStream");
}

TEST(JoinStream, closingLeavesPartsOpen)
{
    auto part = buffer("ab");
    {
        JoinStream join({part});
        join.open(QIODevice::ReadOnly);
        join.close();
    }
    EXPECT_TRUE(part->isOpen());
}
