#pragma once

#include <cryptopp/config.h>

namespace ZRV::Core::Encryption {

// Qt's byte arrays hold char, Crypto++ takes its own byte type.
inline CryptoPP::byte* cryptoBytes(char* data)
{
    return reinterpret_cast<CryptoPP::byte*>(data);
}

inline const CryptoPP::byte* cryptoBytes(const char* data)
{
    return reinterpret_cast<const CryptoPP::byte*>(data);
}

} // namespace ZRV::Core::Encryption
