#include "filecontainer/packagebase.h"

#include "compression/compressionstream.h"
#include "encryption/encryptionstream.h"
#include "filecontainer/recordedsizestream.h"
#include "filecontainer/version1/header.h"
#include "stream/joinstream.h"

#include <QBuffer>

namespace ZRV::Stream::FileContainer {

PackageBase::PackageBase(QSharedPointer<QIODevice> source, const QByteArray& password,
                         std::unique_ptr<V1::Header> header, QObject* parent)
    : Base(std::move(source), password, std::move(header), parent)
{
}

bool PackageBase::atEnd() const
{
    return !join_ || !isOpen() || join_->atEnd();
}

QByteArray PackageBase::iv() const
{
    return encryption_ ? encryption_->iv() : QByteArray();
}

qint64 PackageBase::readData(char* data, qint64 maxSize)
{
    return readStage(*join_, data, maxSize);
}

bool PackageBase::init()
{
    headerBytes_ = header_->byteArray();
    QSharedPointer<QIODevice> payload = source_;
    // A container whose data differs from the size its header records would be refused by its
    // readers; 0 records no size.
    if (header_->fileSize() != 0) {
        payload = QSharedPointer<RecordedSizeStream>::create(payload, qint64(header_->fileSize()));
        if (!openStage(*payload, ReadOnly))
            return false;
    }
    if (useCompression()) {
        compression_ = QSharedPointer<CompressionStream>::create(payload, ZRV::Core::Compression::Gzip, nullptr);
        if (!openStage(*compression_, ReadOnly))
            return false;
        payload = compression_;
    }
    if (useEncryption()) {
        payload = encrypt(payload);
        if (!payload)
            return false;
    }

    headerBuffer_ = QSharedPointer<QBuffer>::create(&headerBytes_);
    if (!openStage(*headerBuffer_, ReadOnly))
        return false;
    join_ = QSharedPointer<JoinStream>::create(QList<QSharedPointer<QIODevice>>(), nullptr);
    join_->addStream(headerBuffer_);
    join_->addStream(payload);
    return openStage(*join_, ReadOnly);
}

} // namespace ZRV::Stream::FileContainer
