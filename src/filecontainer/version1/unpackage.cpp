#include "filecontainer/version1/unpackage.h"

#include "compression/decompressionstream.h"
#include "core/encryption/key.h"
#include "core/exception/invaliddata.h"
#include "encryption/decryptionstream.h"
#include "filecontainer/version1/encryptioninfo.h"
#include "filecontainer/version1/header.h"

using namespace ZRV::Core::Encryption;

namespace ZRV::Stream::FileContainer::V1 {

Unpackage::Unpackage(QSharedPointer<QIODevice> source, const QByteArray& password, QObject* parent)
    : Base(std::move(source), password, parent)
    , header_(nullptr)
{
}

Unpackage::~Unpackage()
{
    delete header_;
}

bool Unpackage::atEnd() const
{
    if (decompression_)
        return decompression_->atEnd();
    if (decryption_)
        return decryption_->atEnd();
    return IStreamRead::atEnd();
}

QByteArray Unpackage::iv() const
{
    return decryption_ ? decryption_->iv() : QByteArray();
}

bool Unpackage::useCompression() const
{
    return header_ && header_->compressionInfo();
}

bool Unpackage::useEncryption() const
{
    return header_ && header_->encryptionInfo() && header_->encryptionInfo()->algorythm() != NoEncryption;
}

unsigned long long Unpackage::realSize() const
{
    return header_ ? header_->fileSize() : 0;
}

qint64 Unpackage::readData(char* data, qint64 maxSize)
{
    if (decompression_)
        return readStage(*decompression_, data, maxSize);
    if (decryption_)
        return readStage(*decryption_, data, maxSize);
    return readStage(*source_, data, maxSize);
}

bool Unpackage::init()
{
    decryption_.reset();
    decompression_.reset();
    delete header_;
    header_ = new Header(password_);

    return readingHead([this] {
        QDataStream stream(source_.data());
        stream >> *header_;
        if (stream.status() != QDataStream::Ok)
            throw ZRV::Exception::InvalidData(tr("Container header is cut short"));
        EncryptionInfo* info = header_->encryptionInfo();
        const Algorithm algorithm = info ? info->algorythm() : NoEncryption;
        QByteArray iv(Key::ivLength(algorithm), '\0');
        if (stream.readRawData(iv.data(), iv.size()) != iv.size())
            throw ZRV::Exception::InvalidData(tr("Container ends inside the IV"));
        if (useEncryption()) {
            decryption_ = QSharedPointer<DecryptionStream>::create(source_, algorithm, info->masterKey(), iv, AllData,
                                                                   nullptr);
            if (!openStage(*decryption_, ReadOnly))
                return refuse(errorString());
        }
        if (!checkPosition(header_->getSize() + iv.size()))
            return false;
        if (useCompression()) {
            decompression_ = QSharedPointer<DecompressionStream>::create(
                decryption_ ? decryption_ : source_, ZRV::Core::Compression::Gzip, nullptr);
            if (!openStage(*decompression_, ReadOnly))
                return refuse(errorString());
        }
        return true;
    });
}

} // namespace ZRV::Stream::FileContainer::V1
