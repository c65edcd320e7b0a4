#include "cloud/cloudpreparemultistream.h"
#include "cloud/operationmanager.h"
#include "cloudtestsupport.h"
#include "support/logcapture.h"

using ZRV::Cloud::OperationManager;
using ZRV::Stream::Cloud::CloudPrepareMultiStream;

namespace {

const quint64 MiB = 1 << 20;

} // namespace

TEST(CloudPrepareMultiStream, choosesThePartSize)
{
    const struct
    {
        quint64 size, partSize;
        int threads;
        quint64 chosen;
        bool warns;
    } rows[] = {
        {25 * MiB, 10 * MiB, 4, 10 * MiB, false}, {25 * MiB, 1 * MiB, 4, 10 * MiB, true},
        {100 * MiB, 0, 4, 25 * MiB, false},       {104857601, 0, 4, 34952533, false},
        {40 * MiB - 1, 0, 4, 10 * MiB, false},    {30 * MiB + 1, 0, 2, 30 * MiB + 1, false},
    };
    QTemporaryDir store;
    for (const auto& row : rows) {
        OperationManager::instance().setThreadCount(row.threads);
        LogCapture log;
        const CloudConfig config = cloudConfig("local", store.path());
        CloudPrepareMultiStream stream(config, "object", row.size, QString(), row.partSize, nullptr);
        QStringList expected;
        if (row.warns)
            expected << "CloudPrepareMultiStream: set default part size: 10485760";
        expected << QStringLiteral("CloudPrepareMultiStream: set part size: %1").arg(row.chosen);
        EXPECT_EQ(log.texts(), expected) << row.size << " " << row.partSize;
    }
    OperationManager::instance().setThreadCount(4);
}

// An object of whole parts asks for no empty last part; the retry test below checks a short one.
TEST_F(HttpTest, multiStreamDownloadsEachPartWithItsOwnRange)
{
    const QByteArray object = putRandom("object", 20 * MiB);
    CloudPrepareMultiStream stream(config(), "object", 20 * MiB, QString(), 10 * MiB, nullptr);
    ASSERT_TRUE(openReady(stream));
    ASSERT_TRUE(waitFor([&] { return nginx_->rangesRequested("/object").size() == 2; }));
    QStringList ranges = nginx_->rangesRequested("/object");
    ranges.sort();
    EXPECT_EQ(ranges, QStringList({"bytes=0-10485759", "bytes=10485760-20971519"}));
    EXPECT_EQ(stream.readAll(), object);
}

TEST_F(HttpTest, multiStreamRetriesOnlyTheFailedPart)
{
    // One transfer at a time, the failing part last: the others are recorded before it fails.
    OperationManager::instance().setThreadCount(1);
    const QByteArray object = putRandom("object", 25 * MiB);
    nginx_->flagFailing("bytes=20971520-26214400", true);
    CloudPrepareMultiStream stream(config(0, "/flaky"), "object", 25 * MiB, QString(), 10 * MiB, nullptr);
    LogCapture log;
    ASSERT_TRUE(stream.open(QIODevice::ReadOnly));
    ASSERT_TRUE(waitFor([&] { return !stream.isOpen(); }));
    EXPECT_TRUE(log.contains(QtCriticalMsg, "CloudPrepareMultiStream: on load prepare stream object"));
    EXPECT_FALSE(stream.readyToRead());

    nginx_->flagFailing("bytes=20971520-26214400", false);
    ASSERT_TRUE(openReady(stream));
    EXPECT_EQ(stream.readAll(), object);
    // nginx logs a request once it has sent the answer, which may be after the client has it all.
    waitFor([&] { return nginx_->rangesRequested("/flaky/object").size() >= 4; });
    QStringList ranges = nginx_->rangesRequested("/flaky/object");
    EXPECT_EQ(ranges,
              QStringList({"bytes=0-10485759", "bytes=10485760-20971519", "bytes=20971520-26214400",
                           "bytes=20971520-26214400"}));
    OperationManager::instance().setThreadCount(4);
}

using MultiStream = ProviderTest;

TEST_P(MultiStream, answersSizeBeforeReadyAndReadsAcrossAPartBoundary)
{
    const QByteArray object = putRandom("object", 12 * MiB);
    CloudPrepareMultiStream stream(config(), "object", 12 * MiB, QString(), 10 * MiB, nullptr);
    ASSERT_TRUE(stream.open(QIODevice::ReadOnly));
    EXPECT_EQ(stream.size(), qint64(12 * MiB));
    EXPECT_EQ(stream.pos(), 0);
    EXPECT_FALSE(stream.seek(1));
    EXPECT_FALSE(stream.atEnd());
    EXPECT_FALSE(stream.reset());
    EXPECT_EQ(stream.read(10), QByteArray());

    ASSERT_TRUE(waitFor([&] { return stream.readyToRead(); }));
    ASSERT_TRUE(stream.seek(10 * MiB - 100));
    EXPECT_EQ(stream.read(16384), object.mid(10 * MiB - 100, 16384));
    EXPECT_EQ(stream.pos(), qint64(10 * MiB - 100 + 16384));
}

TEST_P(MultiStream, objectShorterThanStatedFailsWhereAPartFileEnds)
{
    putRandom("object", 15 * MiB);
    CloudPrepareMultiStream stream(config(), "object", 20 * MiB, QString(), 10 * MiB, nullptr);
    ASSERT_TRUE(openReady(stream));
    ASSERT_TRUE(stream.seek(15 * MiB));
    char byte;
    EXPECT_EQ(stream.read(&byte, 1), -1) << "no zeros from the preallocated part file";
    EXPECT_EQ(stream.errorString(), "part 1 of the object is shorter than its range");
}

INSTANTIATE_TEST_SUITE_P(Providers, MultiStream, ::testing::Values(Transport::Local, Transport::Http, Transport::S3),
                         transportParamName);
