#include "filecontainer/packagebase.h"

#include "compression/compressionstream.h"
#include "encryption/encryptionstream.h"
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
    // Unbuffered, so that a stage failing while Qt fills its buffer cannot leave stale bytes there.
    if (!openStage(*headerBuffer_, ReadOnly | Unbuffered))
        return false;
    join_ = QSharedPointer<JoinStream>::create(QList<QSharedPointer<QIODevice>>(), nullptr);
    join_->addStream(headerBuffer_);
    join_->addStream(payload);
    return openStage(*join_, ReadOnly | Unbuffered);
}

} // namespace ZRV::Stream::FileContainer
