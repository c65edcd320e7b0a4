#pragma once

#include "blocklevel/datastream.h"
#include "zrvstreams_export.h"

namespace ZRV::Stream::BlockLevel {

// Takes a revision of a plain file: a call takes blocks until maxSize bytes are pending or the
// source ends; every block counts as used. Any maxSize works.
class ZRVSTREAMS_EXPORT DifferentialFileDataStream : public DataStream
{
    Q_OBJECT

public:
    DifferentialFileDataStream(QSharedPointer<QIODevice> source, QSharedPointer<MapStream> outMap,
                               QSharedPointer<MapStream> inMap, ZRV::Core::Compression::Algorithm compression,
                               ZRV::Core::Encryption::Algorithm encryption, const QByteArray& password,
                               QObject* parent = nullptr);
    ~DifferentialFileDataStream() override;

protected:
    bool wantsBlocks(qint64 maxSize) const override;
};

} // namespace ZRV::Stream::BlockLevel
