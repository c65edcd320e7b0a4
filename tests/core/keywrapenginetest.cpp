#include "enginerun.h"

#include "core/encryption/key.h"

#include <QMessageAuthenticationCode>
#include <cryptopp/aes.h>
#include <cryptopp/des.h>

namespace {

template <class BlockCipher>
std::unique_ptr<CryptoPP::BlockCipher> blockEncryption(const QByteArray& key)
{
    return std::make_unique<typename BlockCipher::Encryption>(reinterpret_cast<const CryptoPP::byte*>(key.constData()),
                                                              key.size());
}

struct WrapCase
{
    const char* name;
    Algorithm algorithm;
    std::unique_ptr<CryptoPP::BlockCipher> (*cipher)(const QByteArray& key);
};

const WrapCase WrapCases[] = {
    {"Des", Des, blockEncryption<CryptoPP::DES>},        {"Des112", Des112, blockEncryption<CryptoPP::DES_EDE2>},
    {"Des3", Des3, blockEncryption<CryptoPP::DES_EDE3>}, {"Aes128", Aes128, blockEncryption<CryptoPP::AES>},
    {"Aes192", Aes192, blockEncryption<CryptoPP::AES>},  {"Aes256", Aes256, blockEncryption<CryptoPP::AES>},
};

// S || C from the definition: S by Qt's HMAC, C as CFB built by hand on the raw block cipher
// (each keystream block encrypts the previous ciphertext block, the first one the IV).
QByteArray expectedWrap(const WrapCase& c, const QByteArray& key, const QByteArray& plain)
{
    const int block = Key::ivLength(c.algorithm);
    const QByteArray s =
        QMessageAuthenticationCode::hash(plain, key, QCryptographicHash::Sha256).left(Key::length(c.algorithm));
    const auto cipher = c.cipher(key);
    QByteArray wrapped = s;
    QByteArray feedback = s.left(block);
    for (int offset = 0; offset < plain.size(); offset += block) {
        cipher->ProcessBlock(reinterpret_cast<CryptoPP::byte*>(feedback.data()));
        for (int i = 0; i < block && offset + i < plain.size(); ++i)
            feedback[i] = char(feedback[i] ^ plain[offset + i]);
        wrapped += feedback.left(plain.size() - offset);
    }
    return wrapped;
}

using KeyWrapEngineCipher = testing::TestWithParam<WrapCase>;

} // namespace

TEST_P(KeyWrapEngineCipher, wrapsAsDefinedAndRefusesEveryChangedByte)
{
    const WrapCase& c = GetParam();
    const int length = Key::length(c.algorithm);
    const QByteArray key = Key::randomKey(c.algorithm);
    for (int plainLength : {0, 1, length, 2 * length + 3}) {
        const QByteArray plain = Key::randomKey(Aes256).repeated(3).left(plainLength);
        const QByteArray wrapped = transform(c.algorithm, true, KeyWrap, key, QByteArray(), plain);
        EXPECT_EQ(wrapped.toHex(), expectedWrap(c, key, plain).toHex()) << plainLength;
        EXPECT_EQ(transform(c.algorithm, false, KeyWrap, key, QByteArray(), wrapped), plain) << plainLength;
    }

    const QByteArray wrapped = transform(c.algorithm, true, KeyWrap, key, QByteArray(), Key::randomKey(c.algorithm));
    for (int i = 0; i < wrapped.size(); ++i)
        EXPECT_THROW(transform(c.algorithm, false, KeyWrap, key, QByteArray(), flipped(wrapped, i)),
                     CryptoPP::InvalidCiphertext)
            << "byte " << i;
    const QByteArray otherKey = Key::randomKey(c.algorithm);
    EXPECT_THROW(transform(c.algorithm, false, KeyWrap, otherKey, QByteArray(), wrapped), CryptoPP::InvalidCiphertext);
    EXPECT_THROW(transform(c.algorithm, false, KeyWrap, key, QByteArray(), wrapped.left(length - 1)),
                 CryptoPP::InvalidCiphertext);
}

INSTANTIATE_TEST_SUITE_P(Ciphers, KeyWrapEngineCipher, testing::ValuesIn(WrapCases),
                         [](const testing::TestParamInfo<WrapCase>& info) { return info.param.name; });

TEST(KeyWrapEngine, boundsWhatItGathers)
{
    const QByteArray key(32, 'k');
    const QByteArray longest(1024, 'p');
    const QByteArray wrapped = transform(Aes256, true, KeyWrap, key, QByteArray(), longest);
    EXPECT_EQ(transform(Aes256, false, KeyWrap, key, QByteArray(), wrapped), longest);
    EXPECT_THROW(transform(Aes256, true, KeyWrap, key, QByteArray(), longest + 'p'), CryptoPP::InvalidDataFormat);
    EXPECT_THROW(transform(Aes256, false, KeyWrap, key, QByteArray(), wrapped + 'w'), CryptoPP::InvalidDataFormat);
}
