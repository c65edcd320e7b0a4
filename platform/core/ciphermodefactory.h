#pragma once

#include "core/encryption/algorithm.h"

#include <memory>

namespace CryptoPP {
class SymmetricCipher;
}

namespace ZRV::Core::Encryption {

// Crypto++ mode objects over the six ciphers; the caller keys them. Both throw
// ZRV::Exception::InvalidData for NoEncryption and unknown algorithms.
class CipherModeFactory
{
public:
    // CBC without padding: it transforms whole blocks only.
    static std::unique_ptr<CryptoPP::SymmetricCipher> cbc(Algorithm algorithm, bool encrypt);
    // CFB with full-block feedback, any length.
    static std::unique_ptr<CryptoPP::SymmetricCipher> cfb(Algorithm algorithm, bool encrypt);
};

} // namespace ZRV::Core::Encryption
