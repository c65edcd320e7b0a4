#include "fetchcommand.h"

#include "objectlocation.h"
#include "outputtarget.h"
#include "progressmeter.h"
#include "pump.h"

#include "cloud/cloudfactory.h"
#include "cloud/cloudpreparemultistream.h"
#include "cloud/cloudpreparesimplestream.h"
#include "cloud/configkeys.h"
#include "cloud/operationmanager.h"

#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QTimer>
#include <memory>

using namespace ZRV::Stream::Cloud;

QString FetchCommand::description() const
{
    return QStringLiteral("Download the cloud object PATH (or s3://BUCKET/KEY) into OUT (- is standard output), "
                          "whole or in parts side by side, through temporary files beside OUT.");
}

void FetchCommand::addOptions(QCommandLineParser& parser) const
{
    parser.addOption(
        {QStringLiteral("local"), QStringLiteral("The objects lie below directory DIR."), QStringLiteral("DIR")});
    parser.addOption({QStringLiteral("url"), QStringLiteral("The objects are served over HTTP(S) below BASE."),
                      QStringLiteral("BASE")});
    parser.addOption({QStringLiteral("parts"), QStringLiteral("Download in N parts side by side (default 1)."),
                      QStringLiteral("N"), QStringLiteral("1")});
    parser.addOption({QStringLiteral("part-size"),
                      QStringLiteral("Bytes per part (default: the object split evenly; at least 10 MiB)."),
                      QStringLiteral("BYTES")});
}

int FetchCommand::run(const QCommandLineParser& parser) const
{
    const bool local = parser.isSet(QStringLiteral("local"));
    const std::optional<ObjectLocation> object = ObjectLocation::parse(parser.positionalArguments().at(0));
    if (object ? local || parser.isSet(QStringLiteral("url")) : local == parser.isSet(QStringLiteral("url")))
        throw ToolError(ToolError::Usage,
                        QStringLiteral("fetch takes s3://BUCKET/KEY, or PATH with one of --local DIR and --url BASE"));
    const qint64 parts = numberOption(parser, QStringLiteral("parts"), 1);
    const QString path = object ? object->key() : parser.positionalArguments().at(0);
    const QString out = parser.positionalArguments().at(1);

    namespace Config = ZRV::Cloud::Config;
    const QMap<QString, QVariant> config = object
        ? object->config()
        : QMap<QString, QVariant>{
            {Config::CloudType, local ? QStringLiteral("local") : QStringLiteral("http")},
            {Config::ContainerName, parser.value(local ? QStringLiteral("local") : QStringLiteral("url"))},
        };
    const std::unique_ptr<ZRV::Cloud::Api::ICloudApi> api(ZRV::Cloud::Api::CloudFactory::create(config));
    const qint64 size = api->objectSize(config.value(Config::ContainerName).toString(), path);
    if (size < 0)
        throw ToolError(ToolError::Failure,
                        object ? QStringLiteral("cannot read %1: %2").arg(object->toString(), api->errorString())
                               : QStringLiteral("cannot find the object %1").arg(path));

    const QString directory =
        out == QLatin1String("-") || ObjectLocation::parse(out) ? QDir::tempPath() : QFileInfo(out).absolutePath();
    const QString temporaryFiles = QDir(directory).filePath(QStringLiteral(".zrv-fetch-XXXXXX"));
    QSharedPointer<ICloudPrepareStream> stream;
    if (parts > 1) {
        ZRV::Cloud::OperationManager::instance().setThreadCount(int(qMin<qint64>(parts, 64)));
        const qint64 partSize = parser.isSet(QStringLiteral("part-size"))
            ? numberOption(parser, QStringLiteral("part-size"), 1)
            : (size + parts - 1) / parts;
        stream = QSharedPointer<CloudPrepareMultiStream>::create(config, path, size, temporaryFiles, partSize, nullptr);
    } else {
        stream = QSharedPointer<CloudPrepareSimpleStream>::create(config, path, size, temporaryFiles, nullptr);
    }
    if (!stream->open(QIODevice::ReadOnly))
        throw ToolError(ToolError::Failure, QStringLiteral("cannot start the download of %1").arg(path));

    // The download reports through this thread's event loop: run it until the stream is ready,
    // or closes because a part failed.
    QEventLoop loop;
    QObject::connect(stream.data(), &QIODevice::readyRead, &loop, &QEventLoop::quit);
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, &loop, [&] {
        if (!stream->isOpen() || stream->readyToRead())
            loop.quit();
    });
    watch.start(50);
    if (!stream->readyToRead())
        loop.exec();
    if (!stream->readyToRead())
        throw ToolError(ToolError::Failure, QStringLiteral("the download of %1 failed (zrv -v shows why)").arg(path));

    OutputTarget target(out);
    ProgressMeter progress(QStringLiteral("fetch"), size, quiet(parser));
    pump(*stream, &target.device(), progress);
    target.commit();
    return 0;
}
