#pragma once

#include "nginxserver.h"
#include "support/testbytes.h"

#include <QCoreApplication>
#include <QMap>
#include <QSharedPointer>
#include <QTemporaryDir>
#include <QVariant>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <optional>
#include <tuple>

using CloudConfig = QMap<QString, QVariant>;

// Runs the event loop until `condition` holds or `msecs` have passed; returns the condition.
bool waitFor(const std::function<bool()>& condition, int msecs = 30000);

// type "local" or "http"; chunkSize 0 leaves the provider's default.
CloudConfig cloudConfig(const QString& type, const QString& container, qint64 chunkSize = 0);

// The S3 store the tests use: the one named by ZRV_S3_ENDPOINT, ZRV_S3_BUCKET and the AWS_*
// credentials when ZRV_S3_ENDPOINT is set, else the test gateway whose settings file
// $ZRV_S3_GATEWAY_DIR/s3.env the CTest fixture wrote. Empty, with the reason in `error`, when
// neither is there.
std::optional<CloudConfig> s3Config(QString* error);
// Makes a bucket of a new name for one test and removes it with its objects when destroyed.
class S3Bucket
{
public:
    explicit S3Bucket(const CloudConfig& base);
    ~S3Bucket();
    bool isValid() const { return !name_.isEmpty(); }
    const QString& error() const { return error_; }
    // The base configuration with this bucket as the container.
    CloudConfig config(qint64 chunkSize = 0) const;
    // Stores `bytes` through the library's own writer; fails the test when that fails.
    void put(const QString& key, const QByteArray& bytes) const;

private:
    CloudConfig base_;
    QString name_;
    QString error_;
};
void putObject(const QTemporaryDir& store, const QString& name, const QByteArray& bytes);

// The files below `dir` that exist or are held open by this process: on Linux QTemporaryFile makes
// unnamed files, reachable only through the process's descriptors.
QStringList filesIn(const QString& dir);
// Whether one of filesIn(dir) starts with `bytes`.
bool someFileStartsWith(const QString& dir, const QByteArray& bytes);

// Opens a cloud stream; a prepare stream must also become ready (false as soon as its download
// fails).
bool openReady(QIODevice& stream);

// Calls waitForReadyRead(msecs) of `stream` in another thread while this one runs its event loop.
// Empty when the wait has not returned within 30 s; the thread then keeps the stream alive.
std::optional<bool> waitInAnotherThread(const std::shared_ptr<QIODevice>& stream, int msecs);

enum class Transport { Local, Http, S3 };
enum class Kind { Simple, PrepareSimple, PrepareMulti };

void PrintTo(Transport transport, std::ostream* out);
void PrintTo(Kind kind, std::ostream* out);
// Test name suffixes such as "http" and "prepareSimple_http".
std::string transportParamName(const ::testing::TestParamInfo<Transport>& info);
std::string kindName(const ::testing::TestParamInfo<std::tuple<Kind, Transport>>& info);

// Base of the tests that run against a provider: a local store and, for Http, an nginx in front of
// it, started in SetUp (the test is skipped only when nginx is not installed); for S3 a bucket of
// its own in the test store, whose absence fails the test. Prepare streams keep their files in
// files_.
class BackendTest : public ::testing::Test
{
protected:
    explicit BackendTest(Transport transport)
        : transport_(transport)
    {
    }

    void SetUp() override
    {
        if (transport_ == Transport::S3) {
            QString error;
            const std::optional<CloudConfig> s3 = s3Config(&error);
            ASSERT_TRUE(s3) << error.toStdString();
            bucket_ = std::make_unique<S3Bucket>(*s3);
            ASSERT_TRUE(bucket_->isValid()) << bucket_->error().toStdString();
            return;
        }
        if (transport_ != Transport::Http)
            return;
        if (NginxServer::executable().isEmpty())
            GTEST_SKIP() << "nginx is not installed";
        nginx_ = std::make_unique<NginxServer>(store_.path());
        QString error;
        ASSERT_TRUE(nginx_->start(&error)) << error.toStdString();
    }

    void TearDown() override { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

    // `location` ("/slow", "/flaky", ...) applies to Http only.
    CloudConfig config(qint64 chunkSize = 0, const QString& location = QString()) const
    {
        switch (transport_) {
        case Transport::Http:
            return cloudConfig("http", nginx_->url(location), chunkSize);
        case Transport::S3:
            return bucket_->config(chunkSize);
        case Transport::Local:
            break;
        }
        return cloudConfig("local", store_.path(), chunkSize);
    }
    void put(const QString& name, const QByteArray& bytes)
    {
        if (transport_ == Transport::S3)
            bucket_->put(name, bytes);
        else
            putObject(store_, name, bytes);
    }
    // Stores `size` random bytes as object `name` and returns them.
    QByteArray putRandom(const QString& name, qint64 size)
    {
        const QByteArray bytes = randomBytes(int(size));
        put(name, bytes);
        return bytes;
    }

    const Transport transport_;
    QTemporaryDir store_;
    std::unique_ptr<NginxServer> nginx_;
    std::unique_ptr<S3Bucket> bucket_;
    QTemporaryDir files_;
};

// For tests that run once per provider.
class ProviderTest : public BackendTest, public ::testing::WithParamInterface<Transport>
{
protected:
    ProviderTest()
        : BackendTest(GetParam())
    {
    }
};

// For tests that need nginx.
class HttpTest : public BackendTest
{
protected:
    HttpTest()
        : BackendTest(Transport::Http)
    {
    }
};

// For tests that run once per cloud stream kind and provider.
class KindTest : public BackendTest, public ::testing::WithParamInterface<std::tuple<Kind, Transport>>
{
protected:
    KindTest()
        : BackendTest(std::get<1>(GetParam()))
    {
    }

    // A stream of the test's kind over the object `path` of `size` bytes. A multi-part stream cuts
    // the object into parts of the smallest size.
    QSharedPointer<QIODevice> make(const CloudConfig& config, const QString& path, qint64 size) const;
};
