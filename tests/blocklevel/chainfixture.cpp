#include "chainfixture.h"

#include "blocklevel/datastreamibb.h"
#include "blocklevel/differentialfiledatastream.h"
#include "blocklevel/differentialfilefromtemporaryrevisionstream.h"
#include "core/exception/base.h"

#include <QVariant>
#include <gtest/gtest.h>

namespace ChainFixture {

using namespace ZRV::Stream::BlockLevel;

MarkedSource::MarkedSource(const QByteArray& bytes, const QSet<int>& unused, int blockSize)
    : unused_(unused)
    , blockSize_(blockSize)
{
    setData(bytes);
}

qint64 MarkedSource::readData(char* data, qint64 maxSize)
{
    const qint64 count = QBuffer::readData(data, maxSize);
    if (count > 0)
        setProperty("IS_USED", QVariant(unused_.contains(int((pos() + count - 1) / blockSize_)) ? 0 : 1));
    return count;
}

namespace {

QSharedPointer<QBuffer> bufferWith(const QByteArray& bytes)
{
    auto buffer = QSharedPointer<QBuffer>::create();
    buffer->setData(bytes);
    return buffer;
}

// Per revision of the chain, its data, or for the sequential stream the stored blocks that the
// map names, in block order.
QMap<unsigned int, QSharedPointer<QIODevice>> revisionData(const QList<Revision>& chain, const QByteArray& map,
                                                           bool sequential)
{
    QMap<unsigned int, QByteArray> data;
    for (const Revision& revision : chain)
        data[revision.number] = revision.data;
    QMap<unsigned int, QByteArray> named;
    for (const MapStream::Data& record : sequential ? records(map) : QList<MapStream::Data>())
        if (record.isUsed())
            named[record.revision()] += data.value(record.revision()).mid(int(record.offset()), int(record.length()));
    QMap<unsigned int, QSharedPointer<QIODevice>> devices;
    for (auto it = data.cbegin(); it != data.cend(); ++it)
        devices.insert(it.key(), bufferWith(sequential ? named.value(it.key()) : it.value()));
    return devices;
}

} // namespace

QSharedPointer<MapStream> openMap(const QByteArray& bytes)
{
    auto map = QSharedPointer<MapStream>::create(bufferWith(bytes), 0, nullptr);
    map->open(QIODevice::ReadOnly);
    return map;
}

QList<MapStream::Data> records(const QByteArray& map)
{
    auto stream = openMap(map);
    QDataStream reader(stream.data());
    QList<MapStream::Data> result;
    for (MapStream::Data record; result.size() < int(stream->blockCount()); result << record)
        reader >> record;
    return result;
}

BackupRun backupRun(const Settings& settings, QSharedPointer<QIODevice> source, QSharedPointer<MapStream> inMap)
{
    BackupRun run;
    run.outMap = QSharedPointer<MapStream>::create(run.mapFile, 1, nullptr);
    run.outMap->setBlockSize(settings.blockSize);
    if (settings.variant == Variant::Ibb)
        run.stream.reset(new DataStreamIbb(source, run.outMap, inMap, settings.compression, settings.encryption,
                                           settings.password, nullptr));
    else
        run.stream.reset(new DifferentialFileDataStream(source, run.outMap, inMap, settings.compression,
                                                        settings.encryption, settings.password, nullptr));
    return run;
}

Revision backup(const Settings& settings, const QByteArray& source, const Revision* previous,
                const QSet<int>& unused, qint64 readSize)
{
    const BackupRun run = backupRun(settings, QSharedPointer<MarkedSource>::create(source, unused, settings.blockSize),
                                    previous ? openMap(previous->map) : nullptr);
    EXPECT_TRUE(run.stream->open(QIODevice::ReadOnly)) << run.stream->errorString().toStdString();
    Revision revision;
    while (!run.stream->atEnd())
        revision.data += run.stream->read(readSize);
    revision.number = run.outMap->revision();
    run.outMap->close();
    revision.map = run.mapFile->data();
    return revision;
}

QByteArray restore(const QList<Revision>& chain, const Revision& revision, const QByteArray& password,
                   bool sequential, QString* failure, qint64 readSize)
{
    const auto devices = revisionData(chain, revision.map, sequential);
    auto map = QSharedPointer<MapStream>::create(bufferWith(revision.map), 0, nullptr);
    QSharedPointer<RevisionStream> stream(
        sequential ? new DifferentialFileFromTemporaryRevisionStream(map, devices, password, nullptr)
                   : new RevisionStream(map, devices, password, nullptr));
    QByteArray result;
    try {
        if (!stream->open(QIODevice::ReadOnly) && failure)
            *failure = stream->errorString();
        while (stream->isOpen() && !stream->atEnd())
            result += stream->read(readSize);
    } catch (const ZRV::Exception::Base& error) {
        if (failure)
            *failure = error.message();
        EXPECT_EQ(stream->errorString(), error.message());
    }
    return result;
}

} // namespace ChainFixture
