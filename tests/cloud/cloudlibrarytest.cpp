#include "cloud/cloudfactory.h"
#include "cloud/configkeys.h"
#include "cloud/operationmanager.h"
#include "cloudtestsupport.h"
#include "support/logcapture.h"

#include <QBuffer>
#include <QDir>
#include <QTcpServer>
#include <chrono>
#include <thread>

using namespace ZRV::Cloud;

namespace {

struct Download
{
    QBuffer target;
    QSharedPointer<IOperation> operation;
    int finishedCount = 0;

    // Starts the download; `length` -1 asks for the whole object.
    bool start(const CloudConfig& config, const QString& path, quint64 offset = 0, qint64 length = -1)
    {
        target.open(QIODevice::ReadWrite);
        OperationManager& manager = OperationManager::instance();
        operation = length < 0 ? manager.download2Stream(config, path, &target)
                               : manager.downloadBlob2Stream(config, path, offset, quint64(length), &target);
        if (!operation)
            return false;
        QObject::connect(operation.data(), &IOperation::finished, [this] { ++finishedCount; });
        operation->start();
        return true;
    }
    bool waitFinished()
    {
        return waitFor([this] { return finishedCount > 0; });
    }
};

const qint64 ObjectSize = 300000;

// The size an API object of the configuration finds, and what it logged meanwhile.
qint64 objectSize(const CloudConfig& config, const QString& path, QStringList* logged)
{
    std::unique_ptr<Api::ICloudApi> api(Api::CloudFactory::create(config));
    LogCapture log("CLOUD");
    const qint64 size = api->objectSize(config.value(Config::ContainerName).toString(), path);
    *logged = log.texts();
    return size;
}

} // namespace

TEST(CloudFactory, makesApiObjectsAndOperationsOnlyForKnownProviders)
{
    QBuffer target;
    const struct
    {
        const char* type;
        bool known;
    } rows[] = {{"local", true}, {"http", true}, {"s3", true}, {"ftp", false}, {"", false}}; // "": no type at all
    for (const auto& row : rows) {
        CloudConfig config{{Config::ContainerName, "/tmp"}};
        if (*row.type)
            config.insert(Config::CloudType, row.type);
        std::unique_ptr<Api::ICloudApi> api(Api::CloudFactory::create(config));
        EXPECT_EQ(bool(api), row.known) << row.type;
        EXPECT_EQ(bool(OperationManager::instance().download2Stream(config, "x", &target)), row.known);
    }
    EXPECT_FALSE(OperationManager::instance().download2Stream({{Config::CloudType, "local"}}, "x", nullptr));
}

TEST(OperationManager, runsFourThreadsByDefaultAndAtLeastOne)
{
    OperationManager& manager = OperationManager::instance();
    EXPECT_EQ(manager.threadCount(), 4);
    manager.setThreadCount(0);
    EXPECT_EQ(manager.threadCount(), 1);
    manager.setThreadCount(4);
}

using CloudLibrary = ProviderTest;

TEST_P(CloudLibrary, downloadsWholeObjectsAndRanges)
{
    const QByteArray object = putRandom("object", ObjectSize);
    put("empty", QByteArray());
    const struct
    {
        const char* path;
        quint64 offset;
        qint64 length;
        QByteArray expected;
    } rows[] = {
        {"object", 0, -1, object},
        {"object", 1000, 99, object.mid(1000, 100)},
        {"object", ObjectSize - 10, 99, object.right(10)},
        {"object", ObjectSize + 5, 99, QByteArray()},
        {"empty", 0, 99, QByteArray()},
    };
    for (const auto& row : rows) {
        Download download;
        ASSERT_TRUE(download.start(config(4096), row.path, row.offset, row.length));
        EXPECT_EQ(download.finishedCount, 0) << "finished() is never emitted inside start()";
        ASSERT_TRUE(download.waitFinished());
        EXPECT_TRUE(download.operation->isComplite()) << download.operation->errorMessage().toStdString();
        EXPECT_FALSE(download.operation->isError());
        EXPECT_EQ(download.target.data(), row.expected) << row.offset;
        download.operation->remove();
    }
}

TEST_P(CloudLibrary, removeStopsWritingAndFreesTheWorker)
{
    if (transport_ == Transport::S3)
        GTEST_SKIP() << "needs the throttled location of the test nginx";
    OperationManager::instance().setThreadCount(1);
    const QByteArray object = putRandom("object", ObjectSize);
    putRandom("big", 8 << 20);
    Download stopped;
    ASSERT_TRUE(stopped.start(config(4096, "/slow"), "big"));
    ASSERT_TRUE(waitFor([&] { return stopped.target.size() > 0; }));
    stopped.operation->remove();
    const qint64 written = stopped.target.size();

    // With one thread, this download only runs once the removed one has let go of it.
    Download next;
    ASSERT_TRUE(next.start(config(), "object"));
    EXPECT_TRUE(next.waitFinished());
    EXPECT_EQ(next.target.data(), object);
    EXPECT_EQ(stopped.target.size(), written);
    EXPECT_EQ(stopped.finishedCount, 0);
    OperationManager::instance().setThreadCount(4);
}

TEST_P(CloudLibrary, looksUpObjectSizes)
{
    putRandom("object", ObjectSize);
    put("empty", QByteArray());
    QDir(store_.path()).mkdir("folder");
    const struct
    {
        const char* path;
        qint64 size;
    } rows[] = {{"object", ObjectSize}, {"empty", 0}, {"missing", -1}, {"folder", -1}};
    for (const auto& row : rows) {
        QStringList logged;
        EXPECT_EQ(objectSize(config(), row.path, &logged), row.size) << row.path;
        EXPECT_EQ(logged.size(), row.size < 0 ? 1 : 0) << logged.join('\n').toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(Providers, CloudLibrary, ::testing::Values(Transport::Local, Transport::Http, Transport::S3),
                         transportParamName);

TEST_F(HttpTest, failedTransfersAndSizeLookupsSayWhy)
{
    QTcpServer closed;
    closed.listen(QHostAddress::LocalHost);
    const QString refused = QStringLiteral("http://127.0.0.1:%1").arg(closed.serverPort());
    closed.close();
    const struct
    {
        CloudConfig config;
        const char* reason;
    } rows[] = {{cloudConfig("local", store_.path()), "cannot open object"},
                {config(), "HTTP status 404 Not Found"},
                {cloudConfig("http", nginx_->url("/broken")), "HTTP status 500"},
                {cloudConfig("http", refused), "refused"}};
    for (const auto& row : rows) {
        Download download;
        ASSERT_TRUE(download.start(row.config, "missing"));
        ASSERT_TRUE(download.waitFinished());
        EXPECT_TRUE(download.operation->isError());
        EXPECT_FALSE(download.operation->isComplite());
        EXPECT_TRUE(download.operation->errorMessage().contains(row.reason, Qt::CaseInsensitive))
            << download.operation->errorMessage().toStdString();

        QStringList logged;
        EXPECT_EQ(objectSize(row.config, "missing", &logged), -1);
        ASSERT_EQ(logged.size(), 1);
        EXPECT_TRUE(logged[0].startsWith("size lookup failed:")) << logged[0].toStdString();
        EXPECT_TRUE(logged[0].contains(row.reason, Qt::CaseInsensitive)) << logged[0].toStdString();
    }
}

TEST_F(HttpTest, onlyNetworkSilenceCountsAsInactivity)
{
    const QByteArray object = putRandom("object", 2 << 20);
    CloudConfig busy = config(4096);
    busy.insert(Config::TransferTimeout, 200);
    Download download;
    ASSERT_TRUE(download.start(busy, "object"));
    // This thread, the consumer's, runs no event loop for five timeouts: the window fills and the
    // transfer pauses, which is no silence of the network.
    std::this_thread::sleep_for(std::chrono::milliseconds(1000));
    ASSERT_TRUE(download.waitFinished());
    EXPECT_TRUE(download.operation->isComplite()) << download.operation->errorMessage().toStdString();
    EXPECT_EQ(download.target.data(), object);

    // A server that takes the connection and never answers.
    QTcpServer silent;
    ASSERT_TRUE(silent.listen(QHostAddress::LocalHost));
    CloudConfig quiet = cloudConfig("http", QStringLiteral("http://127.0.0.1:%1").arg(silent.serverPort()));
    quiet.insert(Config::TransferTimeout, 200);
    Download stalled;
    ASSERT_TRUE(stalled.start(quiet, "object"));
    ASSERT_TRUE(stalled.waitFinished());
    EXPECT_TRUE(stalled.operation->isError());
    EXPECT_TRUE(stalled.operation->errorMessage().contains("no data from"))
        << stalled.operation->errorMessage().toStdString();
}
