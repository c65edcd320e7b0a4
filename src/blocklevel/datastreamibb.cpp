#include "blocklevel/datastreamibb.h"

#include "blocklevel/pendingoutput.h"

#include "core/zrvdebug.h"

#include <QVariant>

namespace ZRV::Stream::BlockLevel {

DataStreamIbb::DataStreamIbb(QSharedPointer<QIODevice> source, QSharedPointer<MapStream> outMap,
                             QSharedPointer<MapStream> inMap, ZRV::Core::Compression::Algorithm compression,
                             ZRV::Core::Encryption::Algorithm encryption, const QByteArray& password, QObject* parent)
    : DataStream(std::move(source), std::move(outMap), std::move(inMap), compression, encryption, password, parent)
{
}

DataStreamIbb::~DataStreamIbb() = default;

bool DataStreamIbb::open(OpenMode mode)
{
    if (!DataStream::open(mode))
        return false;
    blockSize_ = outMap_->header()->blockSize();
    blockBuffer_.resize(int(blockSize_));
    return true;
}

bool DataStreamIbb::isUsed() const
{
    const QVariant mark = source_->property("IS_USED");
    return !(mark.isValid() && mark.toInt() == 0);
}

qint64 DataStreamIbb::readData(char* data, qint64 maxSize)
{
    while (qint64(blockSize_) + pendingOutput_->size() <= maxSize && sourceHasMore()) {
        const qint64 count = readSource(blockBuffer_.data(), qint64(blockSize_));
        if (count < 1) {
            ZrvDebug("TXK").error() << "Abnormal ending while read data stream. Result (" << count << ")";
            break;
        }
        processBlock(QByteArray::fromRawData(blockBuffer_.constData(), int(count)), isUsed());
    }
    throwIfSourceFailed();
    return pendingOutput_->take(data, maxSize);
}

} // namespace ZRV::Stream::BlockLevel
