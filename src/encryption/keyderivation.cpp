#include "encryption/keyderivation.h"

#include <cryptopp/hmac.h>
#include <cryptopp/pwdbased.h>
#include <cryptopp/sha.h>

#include <algorithm>
#include <cstring>

namespace ZRV::Encryption {

namespace {

const CryptoPP::byte* cryptoBytes(const QByteArray& bytes)
{
    return reinterpret_cast<const CryptoPP::byte*>(bytes.constData());
}

} // namespace

QByteArray KeyDerivation::passwordKey(const QByteArray& password, const QByteArray& salt, int iterations)
{
    QByteArray key(KeyLength, Qt::Uninitialized);
    CryptoPP::PKCS5_PBKDF2_HMAC<CryptoPP::SHA256> pbkdf2;
    pbkdf2.DeriveKey(reinterpret_cast<CryptoPP::byte*>(key.data()), size_t(key.size()), 0, cryptoBytes(password),
                     size_t(password.size()), cryptoBytes(salt), size_t(salt.size()),
                     unsigned(std::max(1, iterations)));
    return key;
}

QByteArray KeyDerivation::subkey(const QByteArray& key, const char* label)
{
    CryptoPP::HMAC<CryptoPP::SHA256> mac(cryptoBytes(key), size_t(key.size()));
    mac.Update(reinterpret_cast<const CryptoPP::byte*>(label), std::strlen(label));
    const CryptoPP::byte counter = 0x01;
    mac.Update(&counter, 1);
    QByteArray result(KeyLength, Qt::Uninitialized);
    mac.Final(reinterpret_cast<CryptoPP::byte*>(result.data()));
    return result;
}

} // namespace ZRV::Encryption
