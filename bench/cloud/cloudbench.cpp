// Measures one reader or writer of a cloud object and prints "<seconds> <peak RSS KiB>": the time
// until a prepare stream is ready (then its bytes are checked, untimed), an upload's time, or curl's
// run time.
//   cloudBench generate <file> <bytes>                  writes the object, prints its MD5
//   cloudBench simple|multi <base URL> <object> <bytes> <temporary directory> <MD5>
//   cloudBench curl <URL>                               peak RSS is curl's
//   cloudBench put <bucket> <object> <file>             uploads the file with the S3 writer
// A base URL "s3:<bucket>" reads from S3; endpoint and credentials come from the AWS_* variables.
#include "cloud/cloudfactory.h"
#include "cloud/cloudpreparemultistream.h"
#include "cloud/cloudpreparesimplestream.h"
#include "cloud/configkeys.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QTimer>
#include <cstdio>
#include <memory>
#include <sys/resource.h>

using namespace ZRV::Stream::Cloud;

namespace {

long peakRssKiB(int who)
{
    rusage usage{};
    getrusage(who, &usage);
    return usage.ru_maxrss;
}

int generate(const QString& fileName, qint64 size)
{
    QFile file(fileName);
    if (!file.open(QIODevice::WriteOnly))
        return 1;
    QCryptographicHash md5(QCryptographicHash::Md5);
    QByteArray block(1 << 20, Qt::Uninitialized);
    quint64 state = 0x9E3779B97F4A7C15ull;
    for (qint64 done = 0; done < size; done += block.size()) {
        auto* words = reinterpret_cast<quint64*>(block.data());
        for (size_t index = 0; index < size_t(block.size()) / sizeof(quint64); ++index) {
            state ^= state << 13;
            state ^= state >> 7;
            state ^= state << 17;
            words[index] = state;
        }
        const QByteArray piece = block.left(int(qMin<qint64>(block.size(), size - done)));
        md5.addData(piece);
        if (file.write(piece) != piece.size())
            return 1;
    }
    std::printf("%s\n", md5.result().toHex().constData());
    return 0;
}

int readStream(bool multi, const QStringList& arguments)
{
    const bool s3 = arguments[2].startsWith("s3:");
    const QMap<QString, QVariant> config{{ZRV::Cloud::Config::CloudType, s3 ? "s3" : "http"},
                                         {ZRV::Cloud::Config::ContainerName, s3 ? arguments[2].mid(3) : arguments[2]}};
    const QString object = arguments[3];
    const unsigned long long size = arguments[4].toULongLong();
    const QString fileTemplate = arguments[5] + "/download-XXXXXX";
    std::unique_ptr<ICloudPrepareStream> stream;
    if (multi)
        stream = std::make_unique<CloudPrepareMultiStream>(config, object, size, fileTemplate, 0, nullptr);
    else
        stream = std::make_unique<CloudPrepareSimpleStream>(config, object, size, fileTemplate, nullptr);

    QElapsedTimer timer;
    timer.start();
    QEventLoop loop;
    QObject::connect(stream.get(), &QIODevice::readyRead, &loop, &QEventLoop::quit);
    QTimer failure;
    QObject::connect(&failure, &QTimer::timeout, [&] {
        if (!stream->isOpen())
            loop.exit(1);
    });
    failure.start(100);
    if (!stream->open(QIODevice::ReadOnly) || loop.exec() != 0)
        return 1;
    const double seconds = timer.elapsed() / 1000.0;

    QCryptographicHash md5(QCryptographicHash::Md5);
    QByteArray buffer(1 << 20, Qt::Uninitialized);
    qint64 count;
    while ((count = stream->read(buffer.data(), buffer.size())) > 0)
        md5.addData(buffer.constData(), int(count));
    if (md5.result().toHex() != arguments[6].toLatin1()) {
        std::fprintf(stderr, "the bytes read differ from the object\n");
        return 1;
    }
    std::printf("%.3f %ld\n", seconds, peakRssKiB(RUSAGE_SELF));
    return 0;
}

int upload(const QString& bucket, const QString& object, const QString& fileName)
{
    QFile file(fileName);
    const std::unique_ptr<ZRV::Cloud::Api::ICloudApi> api(ZRV::Cloud::Api::CloudFactory::create(
        {{ZRV::Cloud::Config::CloudType, "s3"}, {ZRV::Cloud::Config::ContainerName, bucket}}));
    if (!file.open(QIODevice::ReadOnly) || !api)
        return 1;
    QElapsedTimer timer;
    timer.start();
    const std::unique_ptr<ZRV::Cloud::Api::IObjectWriter> writer = api->createWriter(bucket, object);
    QByteArray buffer(1 << 20, Qt::Uninitialized);
    qint64 count;
    while ((count = file.read(buffer.data(), buffer.size())) > 0)
        if (writer->write(buffer.constData(), count) != count)
            break;
    if (count != 0 || !writer->commit()) {
        std::fprintf(stderr, "%s\n", qPrintable(writer->errorString()));
        return 1;
    }
    std::printf("%.3f %ld\n", timer.elapsed() / 1000.0, peakRssKiB(RUSAGE_SELF));
    return 0;
}

int runCurl(const QString& url)
{
    QElapsedTimer timer;
    timer.start();
    QProcess curl;
    curl.start("curl", {"--silent", "--fail", "--output", "/dev/null", url});
    if (!curl.waitForFinished(-1) || curl.exitCode() != 0)
        return 1;
    std::printf("%.3f %ld\n", timer.elapsed() / 1000.0, peakRssKiB(RUSAGE_CHILDREN));
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = app.arguments();
    const QString mode = arguments.value(1);
    if (mode == "generate" && arguments.size() == 4)
        return generate(arguments[2], arguments[3].toLongLong());
    if ((mode == "simple" || mode == "multi") && arguments.size() == 7)
        return readStream(mode == "multi", arguments);
    if (mode == "put" && arguments.size() == 5)
        return upload(arguments[2], arguments[3], arguments[4]);
    if (mode == "curl" && arguments.size() == 3)
        return runCurl(arguments[2]);
    std::fprintf(stderr, "usage: see the head of cloudbench.cpp\n");
    return 2;
}
