#include "cbcengine.h"

#include "ciphermodefactory.h"
#include "cryptoppbytes.h"

#include "core/encryption/key.h"

#include <cryptopp/cryptlib.h>
#include <cryptopp/osrng.h>
#include <cstring>

namespace ZRV::Core::Encryption {

CbcEngine::CbcEngine(Algorithm algorithm, bool encrypt)
    : EncryptorBase(algorithm)
    , encrypt_(encrypt)
    , blockLength_(Key::ivLength(algorithm))
    , mode_(CipherModeFactory::cbc(algorithm, encrypt))
{
}

CbcEngine::~CbcEngine() = default;

bool CbcEngine::init()
{
    checkKeyLength();
    if (encrypt_ && iv_.isEmpty()) {
        iv_.resize(blockLength_);
        CryptoPP::OS_GenerateRandomBlock(false, cryptoBytes(iv_.data()), iv_.size());
    }
    mode_->SetKeyWithIV(cryptoBytes(key_.constData()), key_.size(), cryptoBytes(iv_.constData()), iv_.size());
    return true;
}

qint64 CbcEngine::readData(char* data, qint64 maxSize)
{
    qint64 produced = takeReady(data, maxSize);
    while (produced < maxSize && !finished_) {
        const qint64 room = maxSize - produced;
        qint64 made;
        // Large requests are transformed in place in the caller's buffer; small ones go
        // through ready_, since a step may yield up to two blocks.
        if (room >= 2 * blockLength_) {
            made = fill(data + produced, room);
            produced += qMax<qint64>(made, 0);
        } else {
            made = fill(ready_.data(), 2 * blockLength_);
            readyBegin_ = 0;
            readyEnd_ = int(qMax<qint64>(made, 0));
            produced += takeReady(data + produced, room);
        }
        if (made < 0)
            break;
    }
    return produced;
}

bool CbcEngine::atEnd() const
{
    return finished_ && readyBegin_ == readyEnd_;
}

// Puts the carried bytes and what the source gives into out (room of two blocks at least),
// transforms every whole block that may go out and carries the rest. Returns the bytes made,
// or -1 when the source has nothing now without being at its end.
qint64 CbcEngine::fill(char* out, qint64 room)
{
    std::memcpy(out, carry_.data(), carried_);
    const qint64 count = readSource(out + carried_, room - carried_);
    if (count == 0) {
        if (!source_->atEnd())
            return -1;
        finished_ = true;
        return finish(out);
    }
    const qint64 total = carried_ + count;
    qint64 held = total % blockLength_;
    if (!encrypt_ && held == 0)
        held = blockLength_;
    const qint64 made = total - held;
    mode_->ProcessData(cryptoBytes(out), cryptoBytes(out), made);
    std::memcpy(carry_.data(), out + made, held);
    carried_ = int(held);
    return made;
}

// The last step, with the carried bytes at the front of out.
qint64 CbcEngine::finish(char* out)
{
    const int carried = carried_;
    carried_ = 0;
    if (encrypt_) {
        const int padding = blockLength_ - carried;
        std::memset(out + carried, padding, padding);
        mode_->ProcessData(cryptoBytes(out), cryptoBytes(out), blockLength_);
        return blockLength_;
    }
    if (carried != blockLength_)
        throw CryptoPP::InvalidCiphertext("CBC decryption: ciphertext is not a positive number of whole blocks");
    mode_->ProcessData(cryptoBytes(out), cryptoBytes(out), blockLength_);
    // Every padding byte is looked at whatever the others hold, so the time taken does not
    // tell where a mismatch lies.
    const unsigned padding = static_cast<unsigned char>(out[blockLength_ - 1]);
    unsigned mismatch = padding == 0 || padding > unsigned(blockLength_);
    for (int i = 0; i < blockLength_; ++i) {
        const unsigned inPadding = unsigned(blockLength_ - i) <= padding;
        mismatch |= inPadding * (static_cast<unsigned char>(out[i]) ^ padding);
    }
    if (mismatch)
        throw CryptoPP::InvalidCiphertext("CBC decryption: invalid PKCS #7 padding");
    return blockLength_ - padding;
}

qint64 CbcEngine::takeReady(char* data, qint64 maxSize)
{
    const int count = int(qMin<qint64>(maxSize, readyEnd_ - readyBegin_));
    std::memcpy(data, ready_.data() + readyBegin_, count);
    readyBegin_ += count;
    return count;
}

} // namespace ZRV::Core::Encryption
