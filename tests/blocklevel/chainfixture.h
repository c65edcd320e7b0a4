#pragma once

#include "blocklevel/datastream.h"

#include <QBuffer>
#include <QSet>
#include <QtEndian>

// Block-level backups and restores over in-memory maps and data streams.
namespace ChainFixture {

using ZRV::Stream::BlockLevel::DataStream;
using ZRV::Stream::BlockLevel::MapStream;

enum class Variant { Ibb, File };

struct Settings
{
    Variant variant = Variant::File;
    ZRV::Core::Compression::Algorithm compression = ZRV::Core::Compression::None;
    ZRV::Core::Encryption::Algorithm encryption = ZRV::Core::Encryption::NoEncryption;
    QByteArray password = "secret";
    unsigned int blockSize = 64;
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
    MarkedSource(const QByteArray& bytes, const QSet<int>& unused, int blockSize);

protected:
    qint64 readData(char* data, qint64 maxSize) override;

private:
    QSet<int> unused_;
    int blockSize_;
};

QSharedPointer<MapStream> openMap(const QByteArray& bytes);
QList<MapStream::Data> records(const QByteArray& map);
struct BackupRun
{
    QSharedPointer<QBuffer> mapFile = QSharedPointer<QBuffer>::create();
    QSharedPointer<MapStream> outMap;
    QSharedPointer<DataStream> stream;
};
// A data stream of the settings' variant over a new OUT map of the settings' block size.
BackupRun backupRun(const Settings& settings, QSharedPointer<QIODevice> source, QSharedPointer<MapStream> inMap);
// Takes one revision of source after previous (none: a full run numbered 1), reading the data
// stream readSize bytes at a time.
Revision backup(const Settings& settings, const QByteArray& source, const Revision* previous,
                const QSet<int>& unused = {}, qint64 readSize = 4096);
// Restores revision from the chain's data with the random-access or the sequential stream; a
// failure comes back as the exception's message or open's error string.
QByteArray restore(const QList<Revision>& chain, const Revision& revision, const QByteArray& password,
                   bool sequential = false, QString* failure = nullptr, qint64 readSize = 4096);

template <typename T>
QByteArray patched(QByteArray bytes, int offset, T value)
{
    qToLittleEndian(value, bytes.data() + offset);
    return bytes;
}

} // namespace ChainFixture
