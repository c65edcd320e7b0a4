#include "core/encryption/key.h"

#include <gtest/gtest.h>

using namespace ZRV::Core::Encryption;

// The cipher lengths are pinned by the engines' known-answer tests, which refuse a key of another length.
TEST(Key, randomMaterialIsFresh)
{
    EXPECT_EQ(Key::randomSalt().size(), 16);
    EXPECT_NE(Key::randomSalt(), Key::randomSalt());
    EXPECT_NE(Key::randomKey(Aes256), Key::randomKey(Aes256));
}

// Published PBKDF2-HMAC-SHA-256 vectors (RFC 7914's and the common "password"/"salt" set); a
// shorter key is a prefix of the derived bytes, and counts below 1 count as 1.
TEST(Key, generateAdvancedIsPbkdf2HmacSha256)
{
    const char* const passwordSalt1 = "120fb6cffcf8b32c43e7225256c4f837a86548c92ccc35480805987cb70be17b";
    const char* const passwordSalt4096 = "c5e478d59288c841aa530db6845c4c8d962893a001ce4e11a4963873aa98134a";
    const char* const passwordNaCl80000 = "4ddcd8f60b98be21830cee5ef22701f9641a4418d04c0414aeff08876b34ab56";
    struct Vector
    {
        Algorithm algorithm;
        const char *password, *salt;
        int iterations;
        const char* key;
    };
    for (const Vector& v : {
             Vector{Aes256, "password", "salt", 1, passwordSalt1},
             Vector{Aes256, "password", "salt", 2, "ae4d0c95af6b46d32d0adff928f06dd02a303f8ef3c251dfd6e2d85a95474c43"},
             Vector{Aes256, "password", "salt", 4096, passwordSalt4096},
             Vector{Aes256, "passwd", "salt", 1, "55ac046e56e3089fec1691c22544b605f94185216dde0465e68b9d57c20dacbc"},
             Vector{Aes256, "Password", "NaCl", 80000, passwordNaCl80000},
             Vector{Des3, "password", "salt", 1, "120fb6cffcf8b32c43e7225256c4f837a86548c92ccc3548"},
             Vector{Aes256, "password", "salt", 0, passwordSalt1},
             Vector{Aes256, "password", "salt", -7, passwordSalt1},
             Vector{NoEncryption, "password", "salt", 1, ""},
         })
        EXPECT_EQ(Key::generateAdvanced(v.algorithm, v.password, v.salt, v.iterations).toHex(), v.key) << v.iterations;
}
