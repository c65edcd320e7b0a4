#pragma once

#include "blocklevel/datastreamibb.h"
#include "blocklevel/differentialfiledatastream.h"
#include "blocklevel/differentialfilefromtemporaryrevisionstream.h"
#include "core/exception/base.h"
#include "support/testbytes.h"

#include <QSet>
#include <QVariant>
#include <gtest/gtest.h>

// Block-level backups and restores over in-memory maps and data streams.
namespace ChainFixture {

using namespace ZRV::Stream::BlockLevel;

enum class Variant { Ibb, File };

struct Settings
{
    Variant variant = Variant::File;
    ZRV::Core::Compression::Algorithm compression = ZRV::Core::Compression::None;
    ZRV::Core::Encryption::Algorithm encryption = ZRV::Core::Encryption::NoEncryption;
    QByteArray password = "secret";
    unsigned int blockSize = 64;
    int workers = 1;
};

struct Revision
{
    unsigned int number = 0;
    QByteArray map;
    QByteArray data;
};

// A buffer that publishes "IS_USED" 0 after a read that ends inside one of the unused blocks.
class MarkedSource : public QBuffer
{
public:
    MarkedSource(const QByteArray& bytes, const QSet<int>& unused, int blockSize)
        : unused_(unused)
        , blockSize_(blockSize)
    {
        setData(bytes);
    }

protected:
    qint64 readData(char* data, qint64 maxSize) override
    {
        const qint64 count = QBuffer::readData(data, maxSize);
        if (count > 0)
            setProperty("IS_USED", QVariant(unused_.contains(int((pos() + count - 1) / blockSize_)) ? 0 : 1));
        return count;
    }

private:
    QSet<int> unused_;
    int blockSize_;
};

// Where byte `field` of record `index` lies in a map of the current version.
inline int recordAt(int index, int field = 0)
{
    return 542 + index * MapStream::Data::DataBlockSize + field;
}

// The bytes of a map: the header, then the records.
inline QByteArray encode(const MapStream::Header& header, const QList<MapStream::Data>& records = {})
{
    QByteArray bytes;
    QDataStream stream(&bytes, QIODevice::WriteOnly);
    stream << header;
    for (const MapStream::Data& record : records)
        stream << record;
    return bytes;
}

inline QSharedPointer<MapStream> openMap(const QByteArray& bytes)
{
    auto map = QSharedPointer<MapStream>::create(bufferWith(bytes), 0, nullptr);
    map->open(QIODevice::ReadOnly);
    return map;
}

inline QList<MapStream::Data> records(const QByteArray& map)
{
    auto stream = openMap(map);
    QDataStream reader(stream.data());
    QList<MapStream::Data> result;
    for (MapStream::Data record; result.size() < int(stream->blockCount()); result << record)
        reader >> record;
    return result;
}

struct BackupRun
{
    QSharedPointer<QBuffer> mapFile = QSharedPointer<QBuffer>::create();
    QSharedPointer<MapStream> outMap;
    QSharedPointer<DataStream> stream;
};

// A data stream of the settings' variant over a new OUT map of the settings' block size.
inline BackupRun backupRun(const Settings& settings, QSharedPointer<QIODevice> source, QSharedPointer<MapStream> inMap)
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
    run.stream->setWorkerCount(settings.workers);
    return run;
}

// Takes one revision of source after previous (none: a full run numbered 1), reading the data
// stream readSize bytes at a time.
inline Revision backup(const Settings& settings, const QByteArray& source, const Revision* previous,
                       const QSet<int>& unused = {}, qint64 readSize = 4096)
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

// Restores revision from the chain's data with the random-access or the sequential stream; the
// sequential one is given per revision only the stored blocks that the map names, in block
// order. A failure comes back as the exception's message or open's error string.
inline QByteArray restore(const QList<Revision>& chain, const Revision& revision, const QByteArray& password,
                          bool sequential = false, QString* failure = nullptr, qint64 readSize = 4096, int workers = 1)
{
    QMap<unsigned int, QSharedPointer<QIODevice>> devices;
    for (const Revision& stored : chain) {
        QByteArray named;
        for (const MapStream::Data& record : sequential ? records(revision.map) : QList<MapStream::Data>())
            if (record.isUsed() && record.revision() == stored.number)
                named += stored.data.mid(int(record.offset()), int(record.length()));
        devices.insert(stored.number, bufferWith(sequential ? named : stored.data));
    }

    auto map = QSharedPointer<MapStream>::create(bufferWith(revision.map), 0, nullptr);
    QSharedPointer<RevisionStream> stream(
        sequential ? new DifferentialFileFromTemporaryRevisionStream(map, devices, password, nullptr)
                   : new RevisionStream(map, devices, password, nullptr));
    stream->setWorkerCount(workers);
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
