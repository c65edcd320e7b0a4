#pragma once

#include "blocklevel/datastream.h"
#include "zrvstreams_export.h"

namespace ZRV::Stream::BlockLevel {

// Takes a revision of a plain file: each call that needs bytes reads one chunk of whole blocks
// covering maxSize and processes all of it; every block counts as used. Any maxSize works.
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
    qint64 readData(char* data, qint64 maxSize) override;

private:
    QByteArray chunk_;
};

} // namespace ZRV::Stream::BlockLevel
