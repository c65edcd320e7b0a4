#include "filecontainer/unpackagebase.h"

#include "compression/decompressionstream.h"
#include "core/encryption/key.h"
#include "core/exception/invaliddata.h"
#include "encryption/decryptionstream.h"
#include "encryption/hmacing/outstream.h"
#include "filecontainer/version1/header.h"
#include "stream/chunkstream.h"

namespace ZRV::Stream::FileContainer {

UnpackageBase::UnpackageBase(QSharedPointer<QIODevice> source, const QByteArray& password, QObject* parent)
    : Base(std::move(source), password, parent)
{
}

UnpackageBase::~UnpackageBase() = default;

bool UnpackageBase::atEnd() const
{
    if (decompression_)
        return decompression_->atEnd();
    if (decryption_)
        return decryption_->atEnd();
    return IStreamRead::atEnd();
}

QByteArray UnpackageBase::iv() const
{
    return decryption_ ? decryption_->iv() : QByteArray();
}

unsigned long long UnpackageBase::realSize() const
{
    return header() ? header()->fileSize() : 0;
}

bool UnpackageBase::validate() const
{
    return (!check_ || check_->validate()) && (realSize() == 0 || delivered_ == realSize());
}

qint64 UnpackageBase::readData(char* data, qint64 maxSize)
{
    QIODevice& stage = decompression_ ? static_cast<QIODevice&>(*decompression_)
        : decryption_                 ? static_cast<QIODevice&>(*decryption_)
                                      : *input_;
    const qint64 count = readStage(stage, data, maxSize);
    delivered_ += quint64(count);
    return count;
}

bool UnpackageBase::init()
{
    check_.reset();
    decryption_.reset();
    decompression_.reset();
    delivered_ = 0;
    // Pipes and sockets deliver a few bytes per read; every field and stage must get whole reads.
    input_ = QSharedPointer<ChunkStream>::create(source_);
    if (!openStage(*input_, ReadOnly))
        return refuse(errorString());

    return readingHead([this] {
        QDataStream stream(input_.data());
        readHeader(stream);
        if (stream.status() != QDataStream::Ok)
            throw ZRV::Exception::InvalidData(tr("Container header is cut short"));
        quint32 payloadStart = header()->getSize();
        if (useEncryption()) {
            const Decryption decryption = decrypt(stream, input_);
            if (!decryption.stage)
                return refuse(errorString());
            check_ = decryption.check;
            decryption_ = decryption.stage;
            payloadStart += decryption.prefixSize;
        }
        if (!checkPosition(payloadStart))
            return false;
        if (!useCompression())
            return true;
        decompression_ = QSharedPointer<DecompressionStream>::create(decryption_ ? decryption_ : input_,
                                                                     ZRV::Core::Compression::Gzip);
        return openStage(*decompression_, ReadOnly) || refuse(errorString());
    });
}

QByteArray UnpackageBase::readIv(QDataStream& stream, ZRV::Core::Encryption::Algorithm algorithm)
{
    QByteArray iv(ZRV::Core::Encryption::Key::ivLength(algorithm), '\0');
    if (stream.readRawData(iv.data(), iv.size()) != iv.size())
        throw ZRV::Exception::InvalidData(tr("Container ends inside the IV"));
    return iv;
}

} // namespace ZRV::Stream::FileContainer
