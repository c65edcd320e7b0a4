#include "ciphermodefactory.h"

#include "core/exception/invaliddata.h"

#include <QObject>
#include <cryptopp/aes.h>
#include <cryptopp/des.h>
#include <cryptopp/modes.h>

namespace ZRV::Core::Encryption {

namespace {

template <template <class> class Mode, class BlockCipher>
std::unique_ptr<CryptoPP::SymmetricCipher> makeMode(bool encrypt)
{
    if (encrypt)
        return std::make_unique<typename Mode<BlockCipher>::Encryption>();
    return std::make_unique<typename Mode<BlockCipher>::Decryption>();
}

// AES takes its variant from the key length given when the object is keyed.
template <template <class> class Mode>
std::unique_ptr<CryptoPP::SymmetricCipher> makeMode(Algorithm algorithm, bool encrypt)
{
    switch (algorithm) {
    case Des:
        return makeMode<Mode, CryptoPP::DES>(encrypt);
    case Des112:
        return makeMode<Mode, CryptoPP::DES_EDE2>(encrypt);
    case Des3:
        return makeMode<Mode, CryptoPP::DES_EDE3>(encrypt);
    case Aes128:
    case Aes192:
    case Aes256:
        return makeMode<Mode, CryptoPP::AES>(encrypt);
    case NoEncryption:
        break;
    }
    throw ZRV::Exception::InvalidData(QObject::tr("Unsupported encryption algorithm %1").arg(algorithm));
}

} // namespace

std::unique_ptr<CryptoPP::SymmetricCipher> CipherModeFactory::cbc(Algorithm algorithm, bool encrypt)
{
    return makeMode<CryptoPP::CBC_Mode>(algorithm, encrypt);
}

std::unique_ptr<CryptoPP::SymmetricCipher> CipherModeFactory::cfb(Algorithm algorithm, bool encrypt)
{
    return makeMode<CryptoPP::CFB_Mode>(algorithm, encrypt);
}

} // namespace ZRV::Core::Encryption
