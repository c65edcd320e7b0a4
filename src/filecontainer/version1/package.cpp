#include "filecontainer/version1/package.h"

#include "compression/compressionstream.h"
#include "core/encryption/key.h"
#include "core/exception/base.h"
#include "encryption/encryptionstream.h"
#include "filecontainer/version1/encryptioninfo.h"
#include "filecontainer/version1/header.h"
#include "stream/joinstream.h"

#include <QBuffer>

using namespace ZRV::Core::Encryption;

namespace ZRV::Stream::FileContainer::V1 {

Package::Package(QSharedPointer<QIODevice> source, unsigned long long fileSize, Algorithm algorithm,
                 const QByteArray& password, bool useCompression, QObject* parent)
    : Base(std::move(source), password, parent)
    , header_(new Header(algorithm, Key::randomSalt(), useCompression, fileSize, password))
{
}

Package::~Package()
{
    delete header_;
}

qint64 Package::size() const
{
    return 0;
}

bool Package::atEnd() const
{
    return !join_ || !isOpen() || join_->atEnd();
}

QByteArray Package::iv() const
{
    return encryption_ ? encryption_->iv() : QByteArray();
}

bool Package::useCompression() const
{
    return header_->compressionInfo();
}

bool Package::useEncryption() const
{
    return header_->encryptionInfo() && header_->encryptionInfo()->algorythm() != NoEncryption;
}

qint64 Package::readData(char* data, qint64 maxSize)
{
    try {
        return join_->read(data, maxSize);
    } catch (const ZRV::Exception::Base& e) {
        setErrorString(QString::fromLatin1(e.what()));
        throw;
    }
}

// The inner streams add Unbuffered themselves; the join and the header buffer stay buffered, so
// the join's end must count what Qt's buffer still holds.
bool Package::init()
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
        EncryptionInfo* info = header_->encryptionInfo();
        encryption_ = QSharedPointer<EncryptionStream>::create(payload, info->algorythm(), info->masterKey(),
                                                               QByteArray(), AllData, nullptr);
        if (!openStage(*encryption_, ReadOnly))
            return false;
        headerBytes_ += encryption_->iv();
        payload = encryption_;
    }

    headerBuffer_ = QSharedPointer<QBuffer>::create(&headerBytes_);
    if (!openStage(*headerBuffer_, ReadOnly))
        return false;
    join_ = QSharedPointer<JoinStream>::create(QList<QSharedPointer<QIODevice>>(), nullptr);
    join_->addStream(headerBuffer_);
    join_->addStream(payload);
    return openStage(*join_, ReadOnly);
}

} // namespace ZRV::Stream::FileContainer::V1
