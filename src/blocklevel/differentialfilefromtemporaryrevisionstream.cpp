#include "blocklevel/differentialfilefromtemporaryrevisionstream.h"

#include <QDataStream>

namespace ZRV::Stream::BlockLevel {

DifferentialFileFromTemporaryRevisionStream::DifferentialFileFromTemporaryRevisionStream(
    QSharedPointer<MapStream> map, const QMap<unsigned int, QSharedPointer<QIODevice>>& revisions,
    const QByteArray& password, QObject* parent)
    : RevisionStream(std::move(map), revisions, password, parent)
{
}

qint64 DifferentialFileFromTemporaryRevisionStream::readData(char* data, qint64 maxSize)
{
    return guardedRead([&] {
        const unsigned long long target = targetBlockCount(maxSize);
        QDataStream map(source_.data());
        while (hasMoreBlocks(target)) {
            const MapStream::Data record = nextRecord(map);
            if (record.isUsed())
                appendDecoded(readStored(revisionDevice(record.revision()), record), record);
            else
                appendUnused(record.length());
        }
        return deliver(data, maxSize);
    });
}

} // namespace ZRV::Stream::BlockLevel
