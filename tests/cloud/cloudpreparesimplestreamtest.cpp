#include "cloud/cloudpreparesimplestream.h"
#include "cloudtestsupport.h"
#include "support/logcapture.h"

#include <QElapsedTimer>

using namespace ZRV::Stream::Cloud;

using PrepareSimple = ProviderTest;

TEST_P(PrepareSimple, refusesPositionsUntilReadyAndWaitsInAnotherThread)
{
    const QByteArray object = putRandom("object", 200000);
    // The stated size only reserves space; size() is what arrived.
    auto shared = std::make_shared<CloudPrepareSimpleStream>(config(), "object", 250000,
                                                             files_.filePath("download-XXXXXX"), nullptr);
    CloudPrepareSimpleStream& stream = *shared;
    ASSERT_TRUE(stream.open(QIODevice::ReadOnly));
    EXPECT_FALSE(stream.open(QIODevice::ReadOnly)) << "the file is kept";
    EXPECT_TRUE(stream.isOpen());
    EXPECT_EQ(stream.size(), 0);
    EXPECT_EQ(stream.pos(), 0);
    EXPECT_EQ(stream.read(10), QByteArray());
    EXPECT_FALSE(stream.seek(0));
    EXPECT_FALSE(stream.atEnd());
    EXPECT_FALSE(stream.reset());
    EXPECT_FALSE(stream.waitForReadyRead(0));

    EXPECT_EQ(waitInAnotherThread(shared, -1), std::optional<bool>(true));
    EXPECT_TRUE(stream.waitForReadyRead(0));
    EXPECT_EQ(stream.size(), 200000);
    EXPECT_EQ(stream.readAll(), object);
    EXPECT_TRUE(stream.atEnd());
}

TEST_P(PrepareSimple, failedDownloadClosesTheStreamAndMayBeRetried)
{
    auto shared = std::make_shared<CloudPrepareSimpleStream>(config(), "late", 200000,
                                                             files_.filePath("download-XXXXXX"), nullptr);
    CloudPrepareSimpleStream& stream = *shared;
    LogCapture log;
    ASSERT_TRUE(stream.open(QIODevice::ReadOnly));
    EXPECT_EQ(waitInAnotherThread(shared, -1), std::optional<bool>(false)) << "a failure ends a wait";
    EXPECT_FALSE(stream.isOpen());
    ASSERT_FALSE(log.lines().isEmpty());
    EXPECT_EQ(log.lines()[0].type, QtCriticalMsg);
    EXPECT_TRUE(log.texts()[0].startsWith("on load data for stream: \"")) << log.texts()[0].toStdString();
    EXPECT_EQ(filesIn(files_.path()), QStringList());

    EXPECT_FALSE(stream.waitForReadyRead(0));
    EXPECT_TRUE(log.contains(QtWarningMsg, "ICloudPrepareStream::waitForReadyRead() is not allowed. stream not open"));

    const QByteArray object = putRandom("late", 200000);
    ASSERT_TRUE(stream.open(QIODevice::ReadOnly));
    ASSERT_TRUE(waitFor([&] { return stream.readyToRead(); }));
    EXPECT_EQ(stream.readAll(), object);
}

TEST_P(PrepareSimple, waitForReadyReadInTheStreamsOwnThreadEndsOnReadinessAndOnFailure)
{
    const QByteArray object = putRandom("object", 200000);
    for (const char* path : {"object", "missing"}) {
        CloudPrepareSimpleStream stream(config(), path, 200000, files_.filePath("download-XXXXXX"), nullptr);
        ASSERT_TRUE(stream.open(QIODevice::ReadOnly));
        const bool exists = QByteArray(path) == "object";
        EXPECT_EQ(stream.waitForReadyRead(-1), exists) << path;
        EXPECT_EQ(stream.isOpen(), exists);
        EXPECT_EQ(stream.readAll(), exists ? object : QByteArray());
    }
    CloudPrepareSimpleStream stream(config(), "object", 200000, files_.filePath("download-XXXXXX"), nullptr);
    ASSERT_TRUE(stream.open(QIODevice::ReadOnly));
    QElapsedTimer timer;
    timer.start();
    // Either the download wins or the 1 ms limit ends the wait; no hang either way.
    const bool ready = stream.waitForReadyRead(1);
    EXPECT_EQ(ready, stream.readyToRead());
    EXPECT_LT(timer.elapsed(), 10000);
}

INSTANTIATE_TEST_SUITE_P(Providers, PrepareSimple, ::testing::Values(Transport::Local, Transport::Http, Transport::S3),
                         transportParamName);

TEST(SubtractFromTimeout, leavesNoLimitAndNeverGoesBelowZero)
{
    const struct
    {
        int timeout, elapsed, left;
    } rows[] = {{-1, 500, -1}, {300, 500, 0}, {800, 500, 300}, {0, 0, 0}};
    for (const auto& row : rows)
        EXPECT_EQ(subtractFromTimeout(row.timeout, row.elapsed), row.left) << row.timeout << " " << row.elapsed;
}
