#include "cloud/cloudsimplestream.h"
#include "cloud/configkeys.h"
#include "cloudtestsupport.h"
#include "stream/exception/unsupportedoperation.h"
#include "support/logcapture.h"

using ZRV::Stream::Cloud::CloudSimpleStream;
using ZRV::Stream::Exception::UnsupportedOperation;

namespace {

class WritableSimpleStream : public CloudSimpleStream
{
public:
    using CloudSimpleStream::CloudSimpleStream;
    using CloudSimpleStream::writeData;
};

const char* const OpenRefusal =
    "virtual bool ZRV::Stream::ICloudStream::open(QIODevice::OpenMode) stream don't support this operation";
const char* const WriteRefusal =
    "virtual qint64 ZRV::Stream::ICloudStream::writeData(const char *, qint64) stream don't support this operation";

} // namespace

TEST(CloudSimpleStream, refusesWritingModesAndWritesAndOpensOnlyOnce)
{
    QTemporaryDir store;
    for (const QIODevice::OpenMode mode :
         {QIODevice::ReadOnly | QIODevice::Unbuffered, QIODevice::OpenMode(QIODevice::ReadWrite)}) {
        WritableSimpleStream stream(cloudConfig("local", store.path()), "object", 10, nullptr);
        LogCapture log;
        EXPECT_THROW(stream.open(mode), UnsupportedOperation);
        EXPECT_THROW(stream.writeData("x", 1), UnsupportedOperation);
        EXPECT_EQ(log.texts(), QStringList({OpenRefusal, WriteRefusal}));
        EXPECT_FALSE(stream.open(QIODevice::ReadOnly));
    }
}

TEST(CloudSimpleStream, logsAConfigurationWithoutProviderButNoSecret)
{
    const CloudConfig config{{ZRV::Cloud::Config::CloudType, "ftp"}, {ZRV::Cloud::Config::SecretAccessKey, "k3y"}};
    CloudSimpleStream stream(config, "object", 10, nullptr);
    LogCapture log;
    EXPECT_FALSE(stream.open(QIODevice::ReadOnly));
    ASSERT_EQ(log.lines().size(), 2);
    EXPECT_EQ(log.lines()[0].type, QtCriticalMsg);
    EXPECT_EQ(log.lines()[0].text, "on create cloud api object for CloudSimpleStream");
    EXPECT_EQ(log.lines()[1].type, QtDebugMsg);
    EXPECT_EQ(log.lines()[1].text.toStdString(),
              "cloud config: QMap((\"CloudType\", QVariant(QString, \"ftp\"))"
              "(\"SecretAccessKey\", QVariant(QString, \"(hidden)\")))");
}

TEST(CloudSimpleStream, seeksUpToTheSizeAndStaysOpenOnClose)
{
    QTemporaryDir store;
    putObject(store, "object", randomBytes(10));
    CloudSimpleStream stream(cloudConfig("local", store.path()), "object", 10, nullptr);
    ASSERT_TRUE(stream.seek(4));
    ASSERT_TRUE(stream.open(QIODevice::ReadOnly));
    EXPECT_EQ(stream.read(2), randomBytes(10).mid(4, 2)) << "a position set before open holds";
    EXPECT_TRUE(stream.seek(10));
    EXPECT_TRUE(stream.atEnd());
    EXPECT_FALSE(stream.seek(11));
    EXPECT_EQ(stream.pos(), 10);
    stream.close();
    EXPECT_TRUE(stream.isOpen());
}
