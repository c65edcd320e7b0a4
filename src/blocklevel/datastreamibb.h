#pragma once

#include "blocklevel/datastream.h"
#include "zrvstreams_export.h"

namespace ZRV::Stream::BlockLevel {

// Takes a revision one block at a time and honours the source's usage mark: after each block
// is read, a dynamic property "IS_USED" on the source whose value is 0 marks that block as
// unused (recorded, never stored). Blocks have the block size in force after open (an
// incremental run takes the IN map's). A call processes blocks while one more block still fits
// under maxSize beside the pending bytes, so a maxSize below the block size with nothing
// pending yields 0.
class ZRVSTREAMS_EXPORT DataStreamIbb : public DataStream
{
    Q_OBJECT

public:
    DataStreamIbb(QSharedPointer<QIODevice> source, QSharedPointer<MapStream> outMap, QSharedPointer<MapStream> inMap,
                  ZRV::Core::Compression::Algorithm compression, ZRV::Core::Encryption::Algorithm encryption,
                  const QByteArray& password, QObject* parent = nullptr);
    ~DataStreamIbb() override;

protected:
    bool wantsBlocks(qint64 maxSize) const override;
    bool blockIsUsed() const override;
};

} // namespace ZRV::Stream::BlockLevel
