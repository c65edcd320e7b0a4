#include "filecontainer/packagebase.h"

#include "compression/compressionstream.h"
#include "filecontainer/recordedsizestream.h"
#include "filecontainer/version1/header.h"
#include "stream/joinstream.h"

#include <QBuffer>

namespace ZRV::Stream::FileContainer {

PackageBase::PackageBase(QSharedPointer<QIODevice> source, const QByteArray& password, QObject* parent)
    : Base(std::move(source), password, parent)
{
}

bool PackageBase::atEnd() const
{
    return !join_ || !isOpen() || join_->atEnd();
}

QByteArray PackageBase::iv() const
{
    return iv_;
}

qint64 PackageBase::readData(char* data, qint64 maxSize)
{
    return readStage(*join_, data, maxSize);
}

bool PackageBase::init()
{
    headerBytes_ = header()->byteArray();
    QSharedPointer<QIODevice> payload = source_;
    // A container whose data differs from the size its header records would be refused by its
    // readers; 0 records no size.
    if (header()->fileSize() != 0) {
        payload = QSharedPointer<RecordedSizeStream>::create(payload, qint64(header()->fileSize()));
        if (!openStage(*payload, ReadOnly))
            return false;
    }
    if (useCompression()) {
        auto compression = QSharedPointer<CompressionStream>::create(payload, ZRV::Core::Compression::Gzip);
        compression->setWorkerCount(workerCount());
        payload = compression;
        if (!openStage(*payload, ReadOnly))
            return false;
    }
    if (useEncryption()) {
        const Encryption encryption = encrypt(payload);
        if (!encryption.stage)
            return false;
        payload = encryption.stage;
        headerBytes_ += encryption.prefix;
        iv_ = encryption.iv;
    }

    headerBuffer_ = QSharedPointer<QBuffer>::create(&headerBytes_);
    if (!openStage(*headerBuffer_, ReadOnly))
        return false;
    join_ = QSharedPointer<JoinStream>::create(QList<QSharedPointer<QIODevice>>{headerBuffer_, payload});
    return openStage(*join_, ReadOnly);
}

} // namespace ZRV::Stream::FileContainer
