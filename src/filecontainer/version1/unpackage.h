#pragma once

#include "filecontainer/unpackagebase.h"
#include "zrvstreams_export.h"

namespace ZRV::Stream::FileContainer::V1 {

// Reads a version 1 container and yields the packed data. The container must fill the source
// from its current position to its end; the source may be sequential (a pipe). open() reads the
// header and the IV. Version 1 has no integrity tag: a wrong password shows only while reading,
// as an ErrorOperation from the decryption or as wrong data.
class ZRVSTREAMS_EXPORT Unpackage : public UnpackageBase
{
    Q_OBJECT

public:
    Unpackage(QSharedPointer<QIODevice> source, const QByteArray& password, QObject* parent);

protected:
    void readHeader(QDataStream& stream) override;
    bool initDecryption(QDataStream& stream, quint32& payloadStart) override;
};

} // namespace ZRV::Stream::FileContainer::V1
