#include "cloud/cloudapi.h"
#include "cloud/cloudfactory.h"
#include "cloud/cloudpreparesimplestream.h"
#include "cloud/configkeys.h"
#include "cloud/provider.h"
#include "cloud/s3objectwriter.h"
#include "cloudtestsupport.h"
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
    const struct { const char* path; int size; } rows[] = {
        {"dir/empty", 0}, {"dir/small", 1000}, {"dir/one part", PartSize}, {"dir/three parts", 2 * PartSize + 123},
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
    EXPECT_EQ(paths, QStringList({"dir/empty:0", "dir/one part:8388608", "dir/small:1000", "dir/three parts:16777339"}));

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
