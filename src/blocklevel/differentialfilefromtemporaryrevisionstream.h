#pragma once

#include "blocklevel/revisionstream.h"
#include "zrvstreams_export.h"

namespace ZRV::Stream::BlockLevel {

// A revision stream whose revision devices are read strictly in sequence, without seeking:
// each device delivers, in block order, exactly the stored blocks that the map's records of
// its revision name. An unused record with a non-zero length yields that many zero bytes.
class ZRVSTREAMS_EXPORT DifferentialFileFromTemporaryRevisionStream : public RevisionStream
{
    Q_OBJECT

public:
    DifferentialFileFromTemporaryRevisionStream(QSharedPointer<MapStream> map,
                                                const QMap<unsigned int, QSharedPointer<QIODevice>>& revisions,
                                                const QByteArray& password, QObject* parent = nullptr);

protected:
    bool readsInSequence() const override;
};

} // namespace ZRV::Stream::BlockLevel
