#include "blocklevel/datastreamibb.h"

#include <QVariant>

namespace ZRV::Stream::BlockLevel {

DataStreamIbb::DataStreamIbb(QSharedPointer<QIODevice> source, QSharedPointer<MapStream> outMap,
                             QSharedPointer<MapStream> inMap, ZRV::Core::Compression::Algorithm compression,
                             ZRV::Core::Encryption::Algorithm encryption, const QByteArray& password, QObject* parent)
    : DataStream(std::move(source), std::move(outMap), std::move(inMap), compression, encryption, password, parent)
{
}

DataStreamIbb::~DataStreamIbb() = default;

bool DataStreamIbb::wantsBlocks(qint64 maxSize) const
{
    return blockSize() + pendingSize() <= maxSize;
}

bool DataStreamIbb::blockIsUsed() const
{
    const QVariant mark = source_->property("IS_USED");
    return !(mark.isValid() && mark.toInt() == 0);
}

} // namespace ZRV::Stream::BlockLevel
