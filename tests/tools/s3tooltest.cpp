#include "s3tooltest.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>

void S3ToolTest::SetUp()
{
    if (qEnvironmentVariableIsSet("ZRV_S3_ENDPOINT")) {
        for (const char* name : {"ZRV_S3_ENDPOINT", "AWS_ACCESS_KEY_ID", "AWS_SECRET_ACCESS_KEY", "AWS_REGION"})
            settings_.insert(name, qEnvironmentVariable(name));
    } else {
        QFile file(QDir(qEnvironmentVariable("ZRV_S3_GATEWAY_DIR")).filePath("s3.env"));
        ASSERT_TRUE(qEnvironmentVariableIsSet("ZRV_S3_GATEWAY_DIR") && file.open(QIODevice::ReadOnly))
            << "no S3 store: run the tests through ctest, whose fixture starts the test gateway, or name one with "
               "ZRV_S3_ENDPOINT (see tests/cloud/README.md)";
        for (const QByteArray& line : file.readAll().split('\n')) {
            const int equals = line.indexOf('=');
            if (equals > 0)
                settings_.insert(QString::fromUtf8(line.left(equals)), QString::fromUtf8(line.mid(equals + 1)));
        }
    }
    if (settings_.value("AWS_REGION").isEmpty())
        settings_.insert("AWS_REGION", "us-east-1");
    // zrv reads the store from the environment only.
    qputenv("AWS_ENDPOINT_URL", settings_["ZRV_S3_ENDPOINT"].toUtf8());
    qunsetenv("AWS_ENDPOINT_URL_S3");
    for (const char* name : {"AWS_ACCESS_KEY_ID", "AWS_SECRET_ACCESS_KEY", "AWS_REGION"})
        qputenv(name, settings_[name].toUtf8());
    qunsetenv("AWS_SESSION_TOKEN");

    const QString host = settings_["ZRV_S3_ENDPOINT"].section(QLatin1String("://"), 1).section(QLatin1Char('/'), 0, 0);
    write(".s3cfg",
          QStringLiteral("[default]\naccess_key = %1\nsecret_key = %2\nhost_base = %3\nhost_bucket = %3\n"
                         "use_https = %4\nsignature_v2 = False\nbucket_location = %5\n")
              .arg(settings_["AWS_ACCESS_KEY_ID"], settings_["AWS_SECRET_ACCESS_KEY"], host,
                   settings_["ZRV_S3_ENDPOINT"].startsWith("https") ? "True" : "False", settings_["AWS_REGION"])
              .toUtf8());
    bucket_ = QStringLiteral("zrv-tool-%1").arg(QRandomGenerator::global()->generate64(), 16, 16, QLatin1Char('0'));
    ASSERT_EQ(s3cmd({"mb", "s3://" + bucket_}), 0);
}

void S3ToolTest::TearDown()
{
    if (!bucket_.isEmpty())
        s3cmd({"rb", "--recursive", "--force", "s3://" + bucket_});
}

int S3ToolTest::s3cmd(const QStringList& arguments) const
{
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.setStandardOutputFile(QProcess::nullDevice());
    process.start(QStringLiteral("s3cmd"), QStringList{"-c", path(".s3cfg"), "--no-progress"} + arguments);
    if (!process.waitForFinished(120'000)) {
        process.kill();
        process.waitForFinished(5'000);
        return -1;
    }
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

void S3ToolTest::put(const QString& key, const QByteArray& bytes) const
{
    const QString file = write(".put", bytes);
    ASSERT_EQ(s3cmd({"put", file, url(key)}), 0) << key.toStdString();
}

QByteArray S3ToolTest::get(const QString& key) const
{
    QFile::remove(path(".get"));
    return s3cmd({"get", url(key), path(".get")}) == 0 ? read(".get") : QByteArray();
}

ToolTest::Run S3ToolTest::initStore(const QString& repository, const QStringList& options) const
{
    return runZrv(QStringList{"init", "-q", "--kdf-iterations", "1000", "--block-size", "4096"} + options
                  + QStringList{repository});
}
