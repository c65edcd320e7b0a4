#include "blocklevel/differentialfiledatastream.h"

namespace ZRV::Stream::BlockLevel {

DifferentialFileDataStream::DifferentialFileDataStream(QSharedPointer<QIODevice> source,
                                                       QSharedPointer<MapStream> outMap,
                                                       QSharedPointer<MapStream> inMap,
                                                       ZRV::Core::Compression::Algorithm compression,
                                                       ZRV::Core::Encryption::Algorithm encryption,
                                                       const QByteArray& password, QObject* parent)
    : DataStream(std::move(source), std::move(outMap), std::move(inMap), compression, encryption, password, parent)
{
}

DifferentialFileDataStream::~DifferentialFileDataStream() = default;

bool DifferentialFileDataStream::wantsBlocks(qint64 maxSize) const
{
    return pendingSize() < maxSize;
}

} // namespace ZRV::Stream::BlockLevel
