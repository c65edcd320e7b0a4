#include "cloud/cloudapi.h"
#include "cloud/cloudfactory.h"
#include "cloud/cloudpreparesimplestream.h"
#include "cloud/configkeys.h"
#include "cloud/provider.h"
#include "cloud/s3objectwriter.h"
#include "cloudtestsupport.h"
#include "faultproxy.h"
#include "support/externaltool.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>

using namespace ZRV::Cloud;
using ZRV::Stream::Cloud::CloudPrepareSimpleStream;

namespace {

const int PartSize = S3ObjectWriter::PartSize;

QString containerOf(const CloudConfig& config)
{
    return config.value(Config::ContainerName).toString();
}

std::unique_ptr<Api::ICloudApi> apiFor(const CloudConfig& config)
{
    return std::unique_ptr<Api::ICloudApi>(Api::CloudFactory::create(config));
}

// Writes `bytes` in requests of uneven sizes, then commits; the writer's error when that failed.
QString writeObject(const CloudConfig& config, const QString& path, const QByteArray& bytes)
{
    auto api = apiFor(config);
    std::unique_ptr<Api::IObjectWriter> writer = api->createWriter(containerOf(config), path);
    if (!writer)
        return api->errorString();
    const int steps[] = {1, 4095, 65536, 3 << 20};
    for (int at = 0, turn = 0; at < bytes.size(); ++turn) {
        const int step = qMin(steps[turn % 4], bytes.size() - at);
        if (writer->write(bytes.constData() + at, step) != step)
            return writer->errorString();
        at += step;
    }
    return writer->commit() ? QString() : writer->errorString();
}

// The whole object through a prepare stream, as a restore reads it; empty when that failed.
std::optional<QByteArray> readObject(const CloudConfig& config, const QString& path, qint64 size)
{
    CloudPrepareSimpleStream stream(config, path, quint64(size), QString(), nullptr);
    if (!openReady(stream))
        return std::nullopt;
    return stream.readAll();
}

// The multipart uploads of the bucket that were started and neither completed nor aborted.
QByteArray openUploads(const CloudConfig& config)
{
    QString error;
    const auto batch = Api::CloudApi::run(
        Api::CloudApi::call(*Provider::fromConfig(config), containerOf(config), QString(), "GET", {{"uploads", ""}}),
        "listing uploads", &error);
    EXPECT_TRUE(batch) << error.toStdString();
    QByteArray body;
    for (const QByteArray& chunk : batch ? batch->chunks : std::vector<QByteArray>())
        body += chunk;
    return body.contains("<Upload>") ? body : QByteArray();
}

using ObjectWriting = ProviderTest;

} // namespace

TEST_P(ObjectWriting, storesListsAndRemovesObjectsOfAnySize)
{
    const struct
    {
        const char* path;
        int size;
    } rows[] = {{"dir/empty", 0},
                {"dir/small", 1000},
                {"dir/one part", PartSize},
                {"dir/three parts", 2 * PartSize + 123},
                {"other", 10}};
    for (const auto& row : rows) {
        const QByteArray bytes = randomBytes(row.size);
        ASSERT_EQ(writeObject(config(), row.path, bytes), QString()) << row.path;
        auto api = apiFor(config());
        EXPECT_EQ(api->objectSize(containerOf(config()), row.path), row.size) << row.path;
        if (row.size > 0) {
            EXPECT_EQ(readObject(config(), row.path, row.size), std::optional<QByteArray>(bytes)) << row.path;
        }
    }
    auto api = apiFor(config());
    const auto listed = api->listObjects(containerOf(config()), "dir/");
    ASSERT_TRUE(listed) << api->errorString().toStdString();
    QStringList paths;
    for (const Api::ObjectEntry& entry : *listed)
        paths << QStringLiteral("%1:%2").arg(entry.path).arg(entry.size);
    EXPECT_EQ(paths,
              QStringList({"dir/empty:0", "dir/one part:8388608", "dir/small:1000", "dir/three parts:16777339"}));

    // A second write replaces the object; removal is idempotent.
    ASSERT_EQ(writeObject(config(), "dir/small", "new"), QString());
    EXPECT_EQ(readObject(config(), "dir/small", 3), std::optional<QByteArray>("new"));
    for (const char* path : {"dir/small", "dir/small", "never there"})
        EXPECT_TRUE(api->removeObject(containerOf(config()), path)) << api->errorString().toStdString();
    EXPECT_EQ(api->objectSize(containerOf(config()), "dir/small"), -1);
    EXPECT_EQ(api->listObjects(containerOf(config()), "dir/s")->size(), 0);
}

TEST_P(ObjectWriting, writersThatDoNotCommitLeaveTheStoreAsItWas)
{
    const QByteArray old = putRandom("kept", 1000);
    auto api = apiFor(config());
    for (const char* path : {"kept", "new"}) {
        for (const bool explicitAbort : {false, true}) {
            std::unique_ptr<Api::IObjectWriter> writer = api->createWriter(containerOf(config()), path);
            ASSERT_TRUE(writer);
            // Beyond one part, so that a multipart upload has begun.
            ASSERT_EQ(writer->write(randomBytes(PartSize + 5000)), PartSize + 5000);
            if (explicitAbort)
                writer->abort();
            writer.reset();
        }
    }
    EXPECT_EQ(readObject(config(), "kept", 1000), std::optional<QByteArray>(old));
    EXPECT_EQ(api->objectSize(containerOf(config()), "new"), -1);
    if (transport_ == Transport::S3)
        EXPECT_EQ(openUploads(config()), QByteArray()) << "no orphaned parts";
    else
        EXPECT_EQ(QDir(store_.path()).entryList(QDir::Files | QDir::Hidden), QStringList({"kept"}));
}

INSTANTIATE_TEST_SUITE_P(Providers, ObjectWriting, ::testing::Values(Transport::Local, Transport::S3),
                         transportParamName);

TEST(LocalObjectWriting, keepsObjectsPrivateAndInsideTheContainer)
{
    QTemporaryDir store;
    const CloudConfig config = cloudConfig("local", store.path());
    ASSERT_EQ(writeObject(config, "a/b/object", "bytes"), QString());
    EXPECT_EQ(QFileInfo(store.filePath("a/b/object")).permissions(),
              QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser);
    auto api = apiFor(config);
    const std::unique_ptr<Api::IObjectWriter> unfinished = api->createWriter(store.path(), "a/b/later");
    ASSERT_EQ(unfinished->write("half"), 4);
    const auto listed = api->listObjects(store.path(), "a/");
    ASSERT_TRUE(listed);
    ASSERT_EQ(listed->size(), 1) << "a write in progress is no object yet";
    EXPECT_EQ(listed->front().path, "a/b/object");
    for (const char* path : {"../outside", "a/../../outside", ""}) {
        EXPECT_FALSE(api->createWriter(store.path(), path)) << path;
        EXPECT_TRUE(api->errorString().contains("leaves the container")) << api->errorString().toStdString();
    }
}

TEST(HttpObjectWriting, isRefused)
{
    auto api = apiFor(cloudConfig("http", "http://127.0.0.1:1"));
    EXPECT_FALSE(api->createWriter("http://127.0.0.1:1", "x"));
    EXPECT_FALSE(api->removeObject("http://127.0.0.1:1", "x"));
    EXPECT_FALSE(api->listObjects("http://127.0.0.1:1", ""));
    EXPECT_EQ(api->errorString(), "the http provider is read-only: no listing");
}

namespace {

// An S3 bucket of its own behind the fault proxy.
class S3Faults : public BackendTest
{
protected:
    S3Faults()
        : BackendTest(Transport::S3)
    {
    }

    void SetUp() override
    {
        BackendTest::SetUp();
        if (HasFatalFailure())
            return;
        QString error;
        ASSERT_TRUE(proxy_.start(config().value(Config::Endpoint).toString(), &error)) << error.toStdString();
    }

    // Through the proxy, quick to retry and to notice silence.
    CloudConfig proxied(int retryLimit = 3) const
    {
        CloudConfig proxied = config(64 * 1024);
        proxied.insert(Config::Endpoint, proxy_.url());
        proxied.insert(Config::RetryLimit, retryLimit);
        proxied.insert(Config::RetryDelay, 10);
        // Long enough for a gateway busy with parallel tests, short enough for the stall case.
        proxied.insert(Config::TransferTimeout, 4000);
        return proxied;
    }

    FaultProxy proxy_;
};

// The requests logged for `key`, as "METHOD RANGE STATUS".
QStringList requestsFor(const QStringList& requests, const QString& key)
{
    QStringList found;
    for (const QString& request : requests) {
        const QStringList words = request.split(' ');
        if (words.size() == 5 && words[1].endsWith('/' + key))
            found << words[0] + ' ' + words[2] + ' ' + words[4];
    }
    return found;
}

// `count` GETs, each retry starting at or after where the one before it started.
bool resumesInOrder(const QStringList& requests, int count)
{
    static const QRegularExpression get(QStringLiteral("^GET (-|bytes=(\\d+)-) (200|206)$"));
    qint64 start = 0;
    for (const QString& request : requests) {
        const QRegularExpressionMatch match = get.match(request);
        if (!match.hasMatch() || match.captured(2).toLongLong() < start)
            return false;
        start = match.captured(2).toLongLong();
    }
    return requests.size() == count;
}

} // namespace

TEST_F(S3Faults, transientFailuresAreRetriedAndDownloadsResume)
{
    const int size = 1 << 20;
    const QByteArray object = putRandom("object", size);
    // Delivered bytes go out in whole chunks (64 KiB here): a resumed request begins after the last one.
    const struct
    {
        const char* rule;
        QStringList requests;
    } rows[] = {
        {"status GET 2 503", {"GET - 503", "GET - 503", "GET - 200"}},
        {"status GET 1 500", {"GET - 500", "GET - 200"}},
        {"status GET 1 429", {"GET - 429", "GET - 200"}},
        // How much of a reset body the client had taken in depends on timing: only the count and the
        // order of the resumed ranges are fixed.
        {"reset GET 2 100000", {"GET - 200", "GET bytes=65536- 206", "GET bytes=131072- 206"}},
        {"stall GET 1 300000", {"GET - 200", "GET bytes=262144- 206"}},
        {"slow GET 1 1000000", {"GET - 200"}},
    };
    for (const auto& row : rows) {
        const int before = proxy_.requests().size();
        ASSERT_TRUE(proxy_.add(row.rule));
        EXPECT_EQ(readObject(proxied(), "object", size), std::optional<QByteArray>(object)) << row.rule;
        const QStringList requests = requestsFor(proxy_.requests().mid(before), "object");
        if (QString(row.rule).startsWith("reset"))
            EXPECT_TRUE(resumesInOrder(requests, row.requests.size()))
                << row.rule << ": " << requests.join(", ").toStdString();
        else
            EXPECT_EQ(requests, row.requests) << row.rule;
    }
}

TEST_F(S3Faults, failedPartsAreRetriedAndAFailedUploadLeavesNoParts)
{
    const QByteArray bytes = randomBytes(2 * PartSize + 10);
    ASSERT_TRUE(proxy_.add("status PUT 1 500"));
    ASSERT_TRUE(proxy_.add("reset PUT 1 0"));
    EXPECT_EQ(writeObject(proxied(), "retried", bytes), QString());
    EXPECT_EQ(readObject(config(), "retried", bytes.size()), std::optional<QByteArray>(bytes));

    ASSERT_TRUE(proxy_.add("status PUT 100 503"));
    const QString error = writeObject(proxied(1), "failed", bytes);
    EXPECT_TRUE(error.contains("Injected503: injected by the test proxy (HTTP status 503")) << error.toStdString();
    EXPECT_TRUE(error.contains("(after 2 attempts)")) << error.toStdString();
    EXPECT_EQ(apiFor(config())->objectSize(containerOf(config()), "failed"), -1);
    EXPECT_EQ(openUploads(config()), QByteArray()) << "no orphaned parts";
}

TEST_F(S3Faults, failuresThatCannotPassEndAtOnceWithTheStoresReason)
{
    putRandom("object", 1000);
    CloudConfig wrongSecret = proxied();
    wrongSecret.insert(Config::SecretAccessKey, "not the secret");
    CloudConfig noBucket = proxied();
    noBucket.insert(Config::ContainerName, containerOf(config()) + "-missing");
    const struct
    {
        const char* name;
        CloudConfig config;
        const char* path;
        const char* reason;
    } rows[] = {
        {"wrong secret", wrongSecret, "object", "SignatureDoesNotMatch"},
        {"missing bucket", noBucket, "object", "NoSuchBucket"},
        {"missing key", proxied(), "nothing", "NoSuchKey"},
    };
    for (const auto& row : rows) {
        const int before = proxy_.requests().size();
        auto api = apiFor(row.config);
        EXPECT_EQ(api->downloadRange(containerOf(row.config), row.path, 0, 99, {}, {}), QByteArray()) << row.name;
        EXPECT_TRUE(api->errorString().contains(row.reason)) << api->errorString().toStdString();
        EXPECT_EQ(proxy_.requests().size() - before, 1) << row.name << ": no retry";
        EXPECT_EQ(api->objectSize(containerOf(row.config), row.path), -1);
        EXPECT_TRUE(api->errorString().contains(row.reason)) << api->errorString().toStdString();
        if (QByteArray(row.name) != "missing key") {
            const QString error = writeObject(row.config, "written", "bytes");
            EXPECT_TRUE(error.contains(row.reason)) << error.toStdString();
        }
    }
    const QString secret = "not the secret";
    EXPECT_FALSE(proxy_.requests().join('\n').contains(secret));
}

namespace {

// s3cmd against the test's bucket, its keys in a private configuration file.
class S3Interop : public BackendTest
{
protected:
    S3Interop()
        : BackendTest(Transport::S3)
    {
    }

    void SetUp() override
    {
        if (!installed("s3cmd"))
            GTEST_FAIL() << "s3cmd is not installed (scripts/install-deps.sh)";
        BackendTest::SetUp();
        if (HasFatalFailure())
            return;
        const QUrl endpoint(config().value(Config::Endpoint).toString());
        const QString host = QStringLiteral("%1:%2").arg(endpoint.host()).arg(endpoint.port(80));
        QFile file(files_.filePath("s3cmd.cfg"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.setPermissions(QFile::ReadOwner | QFile::WriteOwner);
        file.write(QStringLiteral("[default]\naccess_key = %1\nsecret_key = %2\nhost_base = %3\nhost_bucket = %3\n"
                                  "use_https = %4\nsignature_v2 = False\nbucket_location = %5\n")
                       .arg(config().value(Config::AccessKeyId).toString(),
                            config().value(Config::SecretAccessKey).toString(), host,
                            endpoint.scheme() == "https" ? "True" : "False", config().value(Config::Region).toString())
                       .toUtf8());
    }

    void s3cmd(const QStringList& arguments)
    {
        runTool("s3cmd", QStringList{"-c", files_.filePath("s3cmd.cfg"), "--no-progress"} + arguments);
    }
    QString url(const QString& key) const { return "s3://" + containerOf(config()) + '/' + key; }
};

} // namespace

TEST_F(S3Interop, objectsPassBothWaysByteForByte)
{
    // s3cmd uploads in parts of 15 MiB by default.
    for (const int size : {1000, 2 * PartSize + 5, 17 << 20}) {
        const QString key = QStringLiteral("ours/%1").arg(size);
        const QByteArray bytes = randomBytes(size);
        ASSERT_EQ(writeObject(config(), key, bytes), QString());
        const QString copy = files_.filePath(QStringLiteral("copy-%1").arg(size));
        s3cmd({"get", url(key), copy});
        QFile got(copy);
        ASSERT_TRUE(got.open(QIODevice::ReadOnly));
        EXPECT_TRUE(got.readAll() == bytes) << "s3cmd reads our object of " << size << " bytes";

        const QString theirs = QStringLiteral("theirs/%1").arg(size);
        s3cmd({"put", copy, url(theirs)});
        EXPECT_EQ(apiFor(config())->objectSize(containerOf(config()), theirs), size);
        EXPECT_TRUE(readObject(config(), theirs, size) == bytes) << "we read s3cmd's object of " << size << " bytes";
    }
    const auto listed = apiFor(config())->listObjects(containerOf(config()), "theirs/");
    ASSERT_TRUE(listed);
    EXPECT_EQ(listed->size(), 3);
}
