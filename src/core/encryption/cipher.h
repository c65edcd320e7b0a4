#pragma once

#include "core/encryption/algorithm.h"

namespace ZRV::Core::Encryption {

// Compile-time facts of one cipher; the engine names below are how formats refer to them.
template <Algorithm A, quint16 KeyBytes, quint16 BlockBytes>
struct Cipher
{
    static constexpr Algorithm Id = A;
    static constexpr quint16 KeyLength = KeyBytes;
    static constexpr quint16 BlockLength = BlockBytes;
};

using EncryptorDes = Cipher<Des, 8, 8>;
using EncryptorDes112 = Cipher<Des112, 16, 8>;
using EncryptorDes3 = Cipher<Des3, 24, 8>;
using EncryptorAes128 = Cipher<Aes128, 16, 16>;
using EncryptorAes192 = Cipher<Aes192, 24, 16>;
using EncryptorAes256 = Cipher<Aes256, 32, 16>;

} // namespace ZRV::Core::Encryption
