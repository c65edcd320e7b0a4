#include "keywrapengine.h"

#include "ciphermodefactory.h"
#include "cryptoppbytes.h"

#include "core/encryption/key.h"

#include <cryptopp/hmac.h>
#include <cryptopp/misc.h>
#include <cryptopp/sha.h>
#include <cstring>

namespace ZRV::Core::Encryption {

KeyWrapEngine::KeyWrapEngine(Algorithm algorithm, bool wrap)
    : EncryptorBase(algorithm)
    , wrap_(wrap)
    , keyLength_(Key::length(algorithm))
{
}

bool KeyWrapEngine::init()
{
    checkKeyLength();
    return true;
}

qint64 KeyWrapEngine::readData(char* data, qint64 maxSize)
{
    if (!finished_) {
        if (!gather())
            return 0;
        output_ = wrap_ ? wrap(input_) : unwrap(input_);
        input_.clear();
        finished_ = true;
    }
    const qint64 count = qMin(maxSize, output_.size() - delivered_);
    std::memcpy(data, output_.constData() + delivered_, count);
    delivered_ += count;
    return count;
}

bool KeyWrapEngine::atEnd() const
{
    return finished_ && delivered_ == output_.size();
}

// Reads the source into input_; true once the source is at its end.
bool KeyWrapEngine::gather()
{
    const int limit = MaxKeyLength + (wrap_ ? 0 : keyLength_);
    for (;;) {
        const int before = input_.size();
        // One byte beyond the limit tells an oversized input.
        input_.resize(limit + 1);
        const qint64 count = readSource(input_.data() + before, input_.size() - before);
        input_.resize(before + int(count));
        if (input_.size() > limit)
            throw CryptoPP::InvalidDataFormat("key wrap: more than " + std::to_string(limit) + " input bytes");
        if (count == 0)
            return source_->atEnd();
    }
}

QByteArray KeyWrapEngine::wrap(const QByteArray& plain) const
{
    const QByteArray s = tag(plain);
    return s + cfb(plain, s, true);
}

QByteArray KeyWrapEngine::unwrap(const QByteArray& wrapped) const
{
    if (wrapped.size() < keyLength_)
        throw CryptoPP::InvalidCiphertext("key wrap: wrapped key shorter than its tag");
    const QByteArray s = wrapped.left(keyLength_);
    const QByteArray plain = cfb(wrapped.mid(keyLength_), s, false);
    if (!CryptoPP::VerifyBufsEqual(cryptoBytes(s.constData()), cryptoBytes(tag(plain).constData()), keyLength_))
        throw CryptoPP::InvalidCiphertext("key wrap: integrity check failed");
    return plain;
}

// S: HMAC-SHA-256 under the key, cut to the key's length (at most 32 for every cipher).
QByteArray KeyWrapEngine::tag(const QByteArray& plain) const
{
    CryptoPP::HMAC<CryptoPP::SHA256> hmac(cryptoBytes(key_.constData()), key_.size());
    QByteArray s(keyLength_, Qt::Uninitialized);
    hmac.CalculateTruncatedDigest(cryptoBytes(s.data()), s.size(), cryptoBytes(plain.constData()), plain.size());
    return s;
}

QByteArray KeyWrapEngine::cfb(const QByteArray& input, const QByteArray& tag, bool encrypt) const
{
    auto mode = CipherModeFactory::cfb(algorithm_, encrypt);
    mode->SetKeyWithIV(cryptoBytes(key_.constData()), key_.size(), cryptoBytes(tag.constData()),
                       Key::ivLength(algorithm_));
    QByteArray output(input.size(), Qt::Uninitialized);
    mode->ProcessData(cryptoBytes(output.data()), cryptoBytes(input.constData()), input.size());
    return output;
}

} // namespace ZRV::Core::Encryption
