#include "stream/joinstream.h"
#include "stream/exception/erroroperation.h"
#include "support/logcapture.h"
#include "support/streamtesting.h"
#include "support/trickledevice.h"

#include <QFile>

using namespace ZRV::Stream;

TEST(JoinStream, readsAcrossPartsSkippingEmptyAndNullOnes)
{
    JoinStream empty({});
    ASSERT_TRUE(empty.open(QIODevice::ReadOnly));
    EXPECT_TRUE(empty.atEnd());
    EXPECT_EQ(empty.read(10), QByteArray());

    auto first = bufferWith("abc");
    JoinStream join({first, nullptr, bufferWith(""), bufferWith("defgh")});
    join.addStream(nullptr);
    join.addStream(bufferWith("ij"));
    ASSERT_TRUE(join.open(QIODevice::ReadOnly | QIODevice::Unbuffered));
    EXPECT_TRUE(join.isSequential());
    EXPECT_EQ(join.size(), 10);
    EXPECT_EQ(join.read(6), "abcdef");
    EXPECT_EQ(join.pos(), 6);
    EXPECT_EQ(join.read(6), "ghij");
    EXPECT_TRUE(join.atEnd());
    EXPECT_FALSE(join.seek(0));
    EXPECT_TRUE(join.reset());
    EXPECT_EQ(join.pos(), 0);
    EXPECT_EQ(join.readAll(), "abcdefghij");
    join.close();
    EXPECT_TRUE(first->isOpen());
}

TEST(JoinStream, smallReadsThroughQtBufferDeliverEveryByte)
{
    const QByteArray big = randomBytes(100'000);
    for (qint64 step : {1, 100, 4096}) {
        JoinStream join({bufferWith("header"), QSharedPointer<TrickleDevice>::create(big, 777)});
        ASSERT_TRUE(join.open(QIODevice::ReadOnly));
        EXPECT_EQ(readInSteps(join, step), "header" + big) << "step " << step;
    }
}

TEST(JoinStream, autoRemoveClosesFinishedPartsAndRefusesReset)
{
    auto first = bufferWith("ab");
    auto second = bufferWith("cd");
    JoinStream join({first, second});
    join.setAutoRemove(true);
    ASSERT_TRUE(join.open(QIODevice::ReadOnly | QIODevice::Unbuffered));
    EXPECT_EQ(join.readAll(), "abcd");
    EXPECT_FALSE(join.reset());
    EXPECT_FALSE(first->isOpen() || second->isOpen());
}

TEST(JoinStream, failingPartFailsTheJoinWithItsError)
{
    JoinStream unopenable({bufferWith("a"), QSharedPointer<QFile>::create("/nonexistent/zrv/part")});
    EXPECT_FALSE(unopenable.open(QIODevice::ReadOnly) || unopenable.isOpen());

    LogCapture log;
    JoinStream join({bufferWith("abc"), QSharedPointer<TrickleDevice>::create("defgh", 2, 2)});
    ASSERT_TRUE(join.open(QIODevice::ReadOnly | QIODevice::Unbuffered));
    EXPECT_THROW(join.read(100), Exception::ErrorOperation);
    EXPECT_EQ(join.errorString(), "trickle device failed");
    EXPECT_EQ(join.pos(), 0);
    EXPECT_TRUE(log.contains(QtCriticalMsg, "JoinStream: read stream return error!"));
}
