#include "blocklevel/differentialfilefromtemporaryrevisionstream.h"

namespace ZRV::Stream::BlockLevel {

DifferentialFileFromTemporaryRevisionStream::DifferentialFileFromTemporaryRevisionStream(
    QSharedPointer<MapStream> map, const QMap<unsigned int, QSharedPointer<QIODevice>>& revisions,
    const QByteArray& password, QObject* parent)
    : RevisionStream(std::move(map), revisions, password, parent)
{
}

bool DifferentialFileFromTemporaryRevisionStream::readsInSequence() const
{
    return true;
}

} // namespace ZRV::Stream::BlockLevel
