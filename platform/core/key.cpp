#include "core/encryption/key.h"

#include "cryptoppbytes.h"

#include "core/encryption/cipher.h"

#include <algorithm>
#include <cryptopp/osrng.h>
#include <cryptopp/pwdbased.h>
#include <cryptopp/sha.h>

namespace ZRV::Core::Encryption {

const int Key::ITERATION_SIMPLE = 100000;
const int Key::ITERATION_ADVANCED = 600000;

namespace {

const int SaltLength = 16;

QByteArray randomBytes(int count)
{
    QByteArray bytes(count, Qt::Uninitialized);
    CryptoPP::OS_GenerateRandomBlock(false, cryptoBytes(bytes.data()), bytes.size());
    return bytes;
}

} // namespace

quint16 Key::length(Algorithm algorithm)
{
    switch (algorithm) {
    case Des:
        return EncryptorDes::KeyLength;
    case Des112:
        return EncryptorDes112::KeyLength;
    case Des3:
        return EncryptorDes3::KeyLength;
    case Aes128:
        return EncryptorAes128::KeyLength;
    case Aes192:
        return EncryptorAes192::KeyLength;
    case Aes256:
        return EncryptorAes256::KeyLength;
    case NoEncryption:
        break;
    }
    return 0;
}

quint16 Key::ivLength(Algorithm algorithm)
{
    switch (algorithm) {
    case Des:
        return EncryptorDes::BlockLength;
    case Des112:
        return EncryptorDes112::BlockLength;
    case Des3:
        return EncryptorDes3::BlockLength;
    case Aes128:
        return EncryptorAes128::BlockLength;
    case Aes192:
        return EncryptorAes192::BlockLength;
    case Aes256:
        return EncryptorAes256::BlockLength;
    case NoEncryption:
        break;
    }
    return 0;
}

QByteArray Key::randomKey(Algorithm algorithm)
{
    return randomBytes(length(algorithm));
}

QByteArray Key::randomSalt()
{
    return randomBytes(SaltLength);
}

QByteArray Key::generateAdvanced(Algorithm algorithm, const QByteArray& password, const QByteArray& salt,
                                 int iterations)
{
    QByteArray key(length(algorithm), Qt::Uninitialized);
    if (key.isEmpty())
        return key;
    CryptoPP::PKCS5_PBKDF2_HMAC<CryptoPP::SHA256> pbkdf2;
    pbkdf2.DeriveKey(cryptoBytes(key.data()), key.size(), 0, cryptoBytes(password.constData()), password.size(),
                     cryptoBytes(salt.constData()), salt.size(), unsigned(std::max(1, iterations)));
    return key;
}

} // namespace ZRV::Core::Encryption
