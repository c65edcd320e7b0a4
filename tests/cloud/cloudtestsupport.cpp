#include "cloudtestsupport.h"

#include "cloud/cloudapi.h"
#include "cloud/cloudfactory.h"
#include "cloud/cloudpreparemultistream.h"
#include "cloud/cloudpreparesimplestream.h"
#include "cloud/cloudsimplestream.h"
#include "cloud/configkeys.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QIODevice>
#include <QRandomGenerator>
#include <QTimer>
#include <atomic>
#include <thread>

using namespace ZRV::Cloud;
using namespace ZRV::Stream::Cloud;

bool waitFor(const std::function<bool()>& condition, int msecs)
{
    const QDeadlineTimer deadline(msecs);
    QTimer tick; // bounds each wait for events, so conditions without an event are seen too
    tick.start(5);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

CloudConfig cloudConfig(const QString& type, const QString& container, qint64 chunkSize)
{
    CloudConfig config{{Config::CloudType, type}, {Config::ContainerName, container}, {Config::CloudId, 7}};
    if (chunkSize > 0)
        config.insert(Config::ChunkSize, chunkSize);
    return config;
}

std::optional<CloudConfig> s3Config(QString* error)
{
    QMap<QString, QString> settings;
    if (qEnvironmentVariableIsSet("ZRV_S3_ENDPOINT")) {
        for (const char* name :
             {"ZRV_S3_ENDPOINT", "ZRV_S3_BUCKET", "AWS_ACCESS_KEY_ID", "AWS_SECRET_ACCESS_KEY", "AWS_REGION"})
            settings.insert(name, qEnvironmentVariable(name));
    } else {
        QFile file(QDir(qEnvironmentVariable("ZRV_S3_GATEWAY_DIR")).filePath("s3.env"));
        if (!qEnvironmentVariableIsSet("ZRV_S3_GATEWAY_DIR") || !file.open(QIODevice::ReadOnly)) {
            *error = QStringLiteral("no S3 store: run the tests through ctest, whose fixture starts the test gateway, "
                                    "or name one with ZRV_S3_ENDPOINT (see tests/cloud/README.md)");
            return std::nullopt;
        }
        for (const QByteArray& line : file.readAll().split('\n')) {
            const int equals = line.indexOf('=');
            if (equals > 0)
                settings.insert(QString::fromUtf8(line.left(equals)), QString::fromUtf8(line.mid(equals + 1)));
        }
    }
    return CloudConfig{{Config::CloudType, "s3"},
                       {Config::Endpoint, settings["ZRV_S3_ENDPOINT"]},
                       {Config::ContainerName, settings["ZRV_S3_BUCKET"]},
                       {Config::AccessKeyId, settings["AWS_ACCESS_KEY_ID"]},
                       {Config::SecretAccessKey, settings["AWS_SECRET_ACCESS_KEY"]},
                       {Config::Region, settings.value("AWS_REGION", "us-east-1")},
                       {Config::CloudId, 7}};
}

S3Bucket::S3Bucket(const CloudConfig& base)
    : base_(base)
{
    // Test processes run in parallel, and the test byte generators repeat from one to the next.
    const QString name =
        QStringLiteral("zrv-%1").arg(QRandomGenerator::system()->generate64(), 16, 16, QLatin1Char('0'));
    const std::optional<Provider> provider = Provider::fromConfig(base_);
    if (Api::CloudApi::run(Api::CloudApi::call(*provider, name, QString(), "PUT", {}), "making a bucket", &error_))
        name_ = name;
}

S3Bucket::~S3Bucket()
{
    if (name_.isEmpty())
        return;
    std::unique_ptr<Api::ICloudApi> api(Api::CloudFactory::create(config()));
    for (const Api::ObjectEntry& entry : api->listObjects(name_, QString()).value_or(QVector<Api::ObjectEntry>()))
        api->removeObject(name_, entry.path);
    Api::CloudApi::run(Api::CloudApi::call(*Provider::fromConfig(base_), name_, QString(), "DELETE", {}),
                       "removing a bucket", &error_);
}

CloudConfig S3Bucket::config(qint64 chunkSize) const
{
    CloudConfig config = base_;
    config.insert(Config::ContainerName, name_);
    if (chunkSize > 0)
        config.insert(Config::ChunkSize, chunkSize);
    return config;
}

void S3Bucket::put(const QString& key, const QByteArray& bytes) const
{
    std::unique_ptr<Api::ICloudApi> api(Api::CloudFactory::create(config()));
    std::unique_ptr<Api::IObjectWriter> writer = api->createWriter(name_, key);
    ASSERT_EQ(writer->write(bytes), bytes.size()) << writer->errorString().toStdString();
    ASSERT_TRUE(writer->commit()) << writer->errorString().toStdString();
}

void putObject(const QTemporaryDir& store, const QString& name, const QByteArray& bytes)
{
    QFile file(store.filePath(name));
    file.open(QIODevice::WriteOnly);
    file.write(bytes);
}

QStringList filesIn(const QString& dir)
{
    QStringList files;
    for (const QFileInfo& info : QDir(dir).entryInfoList(QDir::Files))
        files << info.filePath();
    const QDir descriptors(QStringLiteral("/proc/self/fd"));
    for (const QString& name : descriptors.entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot)) {
        const QString link = descriptors.filePath(name);
        if (QFile::symLinkTarget(link).startsWith(dir + '/'))
            files << link;
    }
    return files;
}

bool someFileStartsWith(const QString& dir, const QByteArray& bytes)
{
    for (const QString& name : filesIn(dir)) {
        QFile file(name);
        if (file.open(QIODevice::ReadOnly) && file.read(bytes.size()) == bytes)
            return true;
    }
    return false;
}

bool openReady(QIODevice& stream)
{
    if (!stream.open(QIODevice::ReadOnly))
        return false;
    auto* prepare = qobject_cast<ICloudPrepareStream*>(&stream);
    // A failed download closes the stream, which then never becomes ready.
    return !prepare
        || (waitFor([&] { return prepare->readyToRead() || !prepare->isOpen(); }) && prepare->readyToRead());
}

std::optional<bool> waitInAnotherThread(const std::shared_ptr<QIODevice>& stream, int msecs)
{
    auto result = std::make_shared<std::atomic<int>>(-1);
    std::thread waiter([stream, msecs, result] { *result = stream->waitForReadyRead(msecs) ? 1 : 0; });
    if (!waitFor([&] { return *result != -1; })) {
        waiter.detach();
        return std::nullopt;
    }
    waiter.join();
    return *result == 1;
}

void PrintTo(Transport transport, std::ostream* out)
{
    static const char* const names[] = {"local", "http", "s3"};
    *out << names[int(transport)];
}

void PrintTo(Kind kind, std::ostream* out)
{
    static const char* const names[] = {"simple", "prepareSimple", "prepareMulti"};
    *out << names[int(kind)];
}

std::string transportParamName(const ::testing::TestParamInfo<Transport>& info)
{
    return ::testing::PrintToString(info.param);
}

std::string kindName(const ::testing::TestParamInfo<std::tuple<Kind, Transport>>& info)
{
    return ::testing::PrintToString(std::get<0>(info.param)) + "_" + ::testing::PrintToString(std::get<1>(info.param));
}

QSharedPointer<QIODevice> KindTest::make(const CloudConfig& config, const QString& path, qint64 size) const
{
    const QString fileTemplate = files_.filePath("part-XXXXXX");
    switch (std::get<0>(GetParam())) {
    case Kind::Simple:
        return QSharedPointer<CloudSimpleStream>::create(config, path, size, nullptr);
    case Kind::PrepareSimple:
        return QSharedPointer<CloudPrepareSimpleStream>::create(config, path, size, fileTemplate, nullptr);
    case Kind::PrepareMulti:
        return QSharedPointer<CloudPrepareMultiStream>::create(config, path, size, fileTemplate,
                                                               CloudPrepareMultiStream::MinimumPartSize, nullptr);
    }
    return nullptr;
}
