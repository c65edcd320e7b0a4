#include "cloudtestsupport.h"

#include "cloud/cloudpreparemultistream.h"
#include "cloud/cloudpreparesimplestream.h"
#include "cloud/cloudsimplestream.h"
#include "cloud/configkeys.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QIODevice>
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
    *out << (transport == Transport::Local ? "local" : "http");
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
        return QSharedPointer<CloudPrepareMultiStream>::create(
            config, path, size, fileTemplate, CloudPrepareMultiStream::MinimumPartSize, nullptr);
    }
    return nullptr;
}
