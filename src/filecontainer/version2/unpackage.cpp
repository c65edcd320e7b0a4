#include "filecontainer/version2/unpackage.h"

#include "compression/decompressionstream.h"
#include "core/encryption/key.h"
#include "core/exception/invaliddata.h"
#include "encryption/decryptionstream.h"
#include "encryption/hmacing/outstream.h"
#include "filecontainer/version2/header.h"
#include "filecontainer/version2/headervalidate.h"

#include <QBuffer>
#include <QCryptographicHash>

using namespace ZRV::Core::Encryption;

namespace ZRV::Stream::FileContainer::V2 {

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

bool Unpackage::validate() const
{
    return (!hmac_ || hmac_->validate()) && (realSize() == 0 || delivered_ == realSize());
}

qint64 Unpackage::readData(char* data, qint64 maxSize)
{
    QIODevice& stage = decompression_ ? static_cast<QIODevice&>(*decompression_)
                       : decryption_  ? static_cast<QIODevice&>(*decryption_)
                                      : *source_;
    const qint64 count = readStage(stage, data, maxSize);
    if (count > 0)
        delivered_ += count;
    return count;
}

bool Unpackage::init()
{
    hmac_.reset();
    decryption_.reset();
    decompression_.reset();
    delivered_ = 0;
    delete header_;
    header_ = new Header(password_);

    return readingHead([this] {
        QDataStream stream(source_.data());
        stream >> *header_;
        if (stream.status() != QDataStream::Ok)
            throw ZRV::Exception::InvalidData(tr("Container header is cut short"));
        quint32 expected = header_->getSize();
        if (useEncryption()) {
            if (!initDecryption(stream))
                return false;
            expected += Key::ivLength(header_->encryptionInfo()->algorythm()) + HeaderValidate(header_).getSize();
        }
        if (!checkPosition(expected))
            return false;
        if (useCompression()) {
            decompression_ = QSharedPointer<DecompressionStream>::create(
                decryption_ ? decryption_ : source_, ZRV::Core::Compression::Gzip, nullptr);
            if (!openStage(*decompression_, ReadOnly | Unbuffered))
                return refuse(errorString());
        }
        return true;
    });
}

bool Unpackage::initDecryption(QDataStream& stream)
{
    EncryptionInfo* info = header_->encryptionInfo();
    const Algorithm algorithm = info->algorythm();
    HeaderValidate validate(header_);
    stream >> validate;

    auto wrapped = QSharedPointer<QBuffer>::create();
    wrapped->setData(info->cryptedKey());
    wrapped->open(ReadOnly);
    DecryptionStream unwrapping(wrapped, algorithm, info->masterKey(), QByteArray(), KeyWrap, nullptr);
    if (!openStage(unwrapping, ReadOnly))
        return refuse(errorString());
    const QByteArray keys = unwrapping.readAll();
    const int keyLength = Key::length(algorithm);

    QByteArray iv(Key::ivLength(algorithm), '\0');
    if (stream.readRawData(iv.data(), iv.size()) != iv.size())
        throw ZRV::Exception::InvalidData(tr("Container ends inside the IV"));

    // The HMAC stage opens first: opening the decryption over a closed stage would close and
    // reopen the container source, which a pipe cannot do and a file would rewind.
    hmac_ = QSharedPointer<Hmacing::OutStream>::create(
        source_, QCryptographicHash::hash(keys.mid(keyLength), QCryptographicHash::Sha256), nullptr);
    if (!openStage(*hmac_, ReadOnly | Unbuffered))
        return refuse(errorString());
    hmac_->addData(iv);
    decryption_ = QSharedPointer<DecryptionStream>::create(hmac_, algorithm, keys.left(keyLength), iv, AllData, nullptr);
    if (!openStage(*decryption_, ReadOnly | Unbuffered))
        return refuse(errorString());
    return true;
}

} // namespace ZRV::Stream::FileContainer::V2
