#include "enginerun.h"

#include "core/encryption/key.h"
#include "core/exception/invaliddata.h"

namespace {

// The cipher text is the published blocks, then the padding block.
struct KnownAnswer
{
    const char* name;
    Algorithm algorithm;
    const char *key, *iv, *plain, *cipher;
};

const char* const Sp80038aPlain = "6bc1bee22e409f96e93d7e117393172aae2d8a571e03ac9c9eb76fac45af8e51"
                                  "30c81c46a35ce411e5fbc1191a0a52eff69f2445df4f9b17ad2b417be66c3710";
const char* const TdesPlain = "6bc1bee22e409f96e93d7e117393172aae2d8a571e03ac9c9eb76fac45af8e51";

// NIST SP 800-38A F.2.1/3/5, FIPS 81's DES CBC example, NIST's TDES CBC examples; the padding
// blocks as `openssl enc` computes them.
const KnownAnswer KnownAnswers[] = {
    {"Aes128", Aes128, "2b7e151628aed2a6abf7158809cf4f3c", "000102030405060708090a0b0c0d0e0f", Sp80038aPlain,
     "7649abac8119b246cee98e9b12e9197d5086cb9b507219ee95db113a917678b273bed6b8e3c1743b7116e69e22229516"
     "3ff1caa1681fac09120eca307586e1a78cb82807230e1321d3fae00d18cc2012"},
    {"Aes192", Aes192, "8e73b0f7da0e6452c810f32b809079e562f8ead2522c6b7b", "000102030405060708090a0b0c0d0e0f",
     Sp80038aPlain,
     "4f021db243bc633d7178183a9fa071e8b4d9ada9ad7dedf4e5e738763f69145a571b242012fb7ae07fa9baac3df102e0"
     "08b0e27988598881d920a9e64f5615cd612ccd79224b350935d45dd6a98f8176"},
    {"Aes256", Aes256, "603deb1015ca71be2b73aef0857d77811f352c073b6108d72d9810a30914dff4",
     "000102030405060708090a0b0c0d0e0f", Sp80038aPlain,
     "f58c4c04d6e5f1ba779eabfb5f7bfbd69cfc4e967edb808d679f777bc6702c7d39f23369a9d9bacfa530e26304231461"
     "b2eb05e2c39be9fcda6c19078c6a9d1b3f461796d6b0d6b2e0c2a72b4d80e644"},
    {"Des", Des, "0123456789abcdef", "1234567890abcdef", "4e6f77206973207468652074696d6520666f7220616c6c20",
     "e5c7cdde872bf27c43e934008c389c0f683788499a7c05f662c16a27e4fcf277"},
    {"Des3", Des3, "0123456789abcdef23456789abcdef01456789abcdef0123", "f69f2445df4f9b17", TdesPlain,
     "2079c3d53aa763e193b79e2569ab5262516570481f25b50f73c0bda85c8e0da733830d1a78387028"},
    {"Des112", Des112, "0123456789abcdef23456789abcdef01", "f69f2445df4f9b17", TdesPlain,
     "7401ce1eab6d003caff84bf47b36cc2154f0238f9ffecd8f6acf118392b45581dcb0d2607c9dd8a3"},
};

using CbcKnownAnswer = testing::TestWithParam<KnownAnswer>;

} // namespace

TEST_P(CbcKnownAnswer, matchesThePublishedBlocksAndPadsToWholeBlocks)
{
    const KnownAnswer& v = GetParam();
    const QByteArray key = QByteArray::fromHex(v.key);
    const QByteArray iv = QByteArray::fromHex(v.iv);
    EXPECT_EQ(transform(v.algorithm, true, AllData, key, iv, QByteArray::fromHex(v.plain)).toHex(), v.cipher);
    EXPECT_EQ(transform(v.algorithm, false, AllData, key, iv, QByteArray::fromHex(v.cipher)).toHex(), v.plain);

    const int block = Key::ivLength(v.algorithm);
    for (int length : {0, 1, block - 1, block, block + 1, 3 * block + 5}) {
        const QByteArray cipher = transform(v.algorithm, true, AllData, key, iv, randomBytes(length));
        EXPECT_EQ(cipher.size(), (length / block + 1) * block) << length;
        EXPECT_EQ(transform(v.algorithm, false, AllData, key, iv, cipher), randomBytes(length)) << length;
    }
}

INSTANTIATE_TEST_SUITE_P(Ciphers, CbcKnownAnswer, testing::ValuesIn(KnownAnswers),
                         [](const testing::TestParamInfo<KnownAnswer>& info) { return info.param.name; });

// Flips in the block before the last change the decrypted padding bytes, so they forge each kind
// of bad padding exactly.
TEST(CbcEngine, badCiphertextThrowsInvalidCiphertext)
{
    // cut: bytes removed from the end; position: byte of the block before the last, XORed with mask.
    struct Corruption
    {
        const char* name;
        int plainLength;
        int cut;
        int position;
        char mask;
    };
    for (const Corruption& c :
         {Corruption{"paddingByteZero", 32, 0, 15, 0x10}, Corruption{"paddingByteAboveBlock", 32, 0, 15, 0x01},
          Corruption{"paddingBytesDiffer", 29, 0, 13, 0x01}, Corruption{"farthestPaddingByteDiffers", 20, 0, 4, 0x40},
          Corruption{"truncatedByOneByte", 20, 1, 0, 0}, Corruption{"truncatedToNothing", 0, 16, 0, 0}}) {
        const QByteArray key(16, 'k'), iv(16, 'i');
        QByteArray cipher = transform(Aes128, true, AllData, key, iv, randomBytes(c.plainLength));
        cipher.chop(c.cut);
        if (c.mask)
            cipher[cipher.size() - 32 + c.position] = char(cipher[cipher.size() - 32 + c.position] ^ c.mask);
        EXPECT_THROW(transform(Aes128, false, AllData, key, iv, cipher), CryptoPP::InvalidCiphertext) << c.name;
    }
}

TEST(CbcEngine, failedSourceReadThrows)
{
    auto unopened = QSharedPointer<QBuffer>::create();
    auto engine = makeEngine(Aes128, true, AllData, QByteArray(16, 'k'), QByteArray(16, 'i'), unopened);
    char buffer[64];
    EXPECT_THROW(engine->readData(buffer, sizeof buffer), ZRV::Exception::Base);
}

TEST(EncryptorBase, refusesWhatItCannotMakeOrKey)
{
    for (int algorithm : {6, 7, -1}) {
        EXPECT_THROW(EncryptorBase::create(Algorithm(algorithm), true, AllData), ZRV::Exception::InvalidData);
        EXPECT_THROW(EncryptorBase::create(Algorithm(algorithm), false, KeyWrap), ZRV::Exception::InvalidData);
    }
    EXPECT_THROW(EncryptorBase::create(Aes256, true, Type(2)), ZRV::Exception::InvalidData);

    // AES-256 given an AES-128 key, a short IV, a decryption without IV.
    const auto s = openBuffer("");
    EXPECT_THROW(makeEngine(Aes256, true, AllData, QByteArray(16, 'k'), QByteArray(16, 'i'), s), CryptoPP::Exception);
    EXPECT_THROW(makeEngine(Aes192, true, KeyWrap, QByteArray(16, 'k'), QByteArray(), s), CryptoPP::Exception);
    EXPECT_THROW(makeEngine(Aes256, true, AllData, QByteArray(32, 'k'), QByteArray(8, 'i'), s), CryptoPP::Exception);
    EXPECT_THROW(makeEngine(Des, false, AllData, QByteArray(8, 'k'), QByteArray(), s), CryptoPP::Exception);
}
