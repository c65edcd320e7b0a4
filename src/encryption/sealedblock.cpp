#include "encryption/sealedblock.h"

#include "core/encryption/key.h"
#include "core/exception/base.h"
#include "encryption/decryptionstream.h"
#include "encryption/encryptionstream.h"

#include <QBuffer>
#include <QObject>
#include <cryptopp/hmac.h>
#include <cryptopp/misc.h>
#include <cryptopp/sha.h>

namespace ZRV::Encryption {

namespace {

QSharedPointer<QIODevice> openBuffer(const QByteArray& bytes)
{
    auto buffer = QSharedPointer<QBuffer>::create();
    buffer->setData(bytes);
    buffer->open(QIODevice::ReadOnly);
    return buffer;
}

const CryptoPP::byte* cryptoBytes(const char* data)
{
    return reinterpret_cast<const CryptoPP::byte*>(data);
}

} // namespace

SealedBlock::SealedBlock(Core::Encryption::Algorithm algorithm, QByteArray key, QByteArray macKey)
    : algorithm_(algorithm)
    , key_(std::move(key))
    , macKey_(std::move(macKey))
{
}

QByteArray SealedBlock::tag(const char* data, int size) const
{
    CryptoPP::HMAC<CryptoPP::SHA256> mac(cryptoBytes(macKey_.constData()), size_t(macKey_.size()));
    QByteArray result(TagLength, Qt::Uninitialized);
    mac.Update(cryptoBytes(data), size_t(size));
    mac.Final(reinterpret_cast<CryptoPP::byte*>(result.data()));
    return result;
}

std::optional<QByteArray> SealedBlock::seal(const QByteArray& plain) const
{
    errorString_.clear();
    tagRefused_ = false;
    try {
        Stream::EncryptionStream encryption(openBuffer(plain), algorithm_, key_, QByteArray(),
                                            Core::Encryption::AllData, nullptr);
        if (!encryption.open(QIODevice::ReadOnly)) {
            errorString_ = QObject::tr("Error in init encryption stream");
            return std::nullopt;
        }
        QByteArray sealed = encryption.iv() + encryption.readAll();
        sealed += tag(sealed.constData(), sealed.size());
        return sealed;
    } catch (const ZRV::Exception::Base& error) {
        errorString_ = error.message();
    } catch (const std::exception& error) {
        errorString_ = QString::fromLocal8Bit(error.what());
    }
    return std::nullopt;
}

std::optional<QByteArray> SealedBlock::open(const QByteArray& sealed) const
{
    errorString_.clear();
    tagRefused_ = false;
    const int ivLength = Core::Encryption::Key::ivLength(algorithm_);
    const int body = sealed.size() - TagLength;
    if (ivLength == 0 || body < ivLength
        || !equalInConstantTime(sealed.right(TagLength), tag(sealed.constData(), body))) {
        tagRefused_ = true;
        errorString_ = QObject::tr("Sealed bytes fail their integrity check");
        return std::nullopt;
    }
    try {
        Stream::DecryptionStream decryption(openBuffer(sealed.mid(ivLength, body - ivLength)), algorithm_, key_,
                                            sealed.left(ivLength), Core::Encryption::AllData, nullptr);
        if (!decryption.open(QIODevice::ReadOnly)) {
            errorString_ = QObject::tr("Error on init decryption stream");
            return std::nullopt;
        }
        return decryption.readAll();
    } catch (const ZRV::Exception::Base& error) {
        errorString_ = error.message();
    } catch (const std::exception& error) {
        errorString_ = QString::fromLocal8Bit(error.what());
    }
    return std::nullopt;
}

bool SealedBlock::equalInConstantTime(const QByteArray& a, const QByteArray& b)
{
    return a.size() == b.size()
        && CryptoPP::VerifyBufsEqual(cryptoBytes(a.constData()), cryptoBytes(b.constData()), size_t(a.size()));
}

bool SealedBlock::tagRefused() const
{
    return tagRefused_;
}

const QString& SealedBlock::errorString() const
{
    return errorString_;
}

} // namespace ZRV::Encryption
