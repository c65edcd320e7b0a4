#pragma once

#include "core/encryption/encryptorbase.h"

#include <array>
#include <memory>

namespace CryptoPP {
class SymmetricCipher;
}

namespace ZRV::Core::Encryption {

// Type 0: CBC with PKCS#7 padding, streaming in constant memory. Encrypting, n source bytes
// give (n / block + 1) * block bytes; an empty IV is replaced by a random one in init().
// Decrypting holds back the last whole block until the source ends, then checks and strips
// the padding: a bad padding, or a ciphertext that is empty or not whole blocks, throws
// CryptoPP::InvalidCiphertext at the end.
class CbcEngine : public EncryptorBase
{
public:
    CbcEngine(Algorithm algorithm, bool encrypt);
    ~CbcEngine() override;

    // Throws CryptoPP::InvalidArgument for a key or IV of the wrong length.
    bool init() override;
    qint64 readData(char* data, qint64 maxSize) override;
    bool atEnd() const override;

private:
    static constexpr int MaxBlockLength = 16;

    qint64 fill(char* out, qint64 room);
    qint64 finish(char* out);
    qint64 takeReady(char* data, qint64 maxSize);

    const bool encrypt_;
    const int blockLength_;
    std::unique_ptr<CryptoPP::SymmetricCipher> mode_;
    // Source bytes not transformed yet: a partial block, or, when decrypting, possibly the
    // last whole block, which may carry the padding.
    std::array<char, MaxBlockLength> carry_;
    int carried_ = 0;
    // Output made for a request smaller than two blocks, handed out over later calls.
    std::array<char, 2 * MaxBlockLength> ready_;
    int readyBegin_ = 0;
    int readyEnd_ = 0;
    bool finished_ = false;
};

} // namespace ZRV::Core::Encryption
