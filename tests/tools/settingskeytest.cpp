// The repository settings tag, pinned by a value computed independently (Python's hashlib and hmac).
#include "settingskey.h"
#include "repositorysettings.h"
#include "toolerror.h"

#include "encryption/keyderivation.h"

#include <gtest/gtest.h>

TEST(SettingsKey, knownAnswer)
{
    QByteArray salt;
    for (char byte = 0; byte < 16; ++byte)
        salt.append(byte);
    const SettingsKey key(ZRV::Encryption::KeyDerivation::passwordKey("secret", salt, 1000));
    const QByteArray tag = key.tag("zrv-repo settings bytes");
    EXPECT_EQ(tag.toHex(), "4d4b3b34750cda04cddf65fa62e4abb31ee064b9f50255f2b13563b42d46fd40");
    EXPECT_TRUE(key.matches("zrv-repo settings bytes", tag));
    EXPECT_FALSE(key.matches("zrv-repo settings bytes!", tag));
    EXPECT_FALSE(key.matches("zrv-repo settings bytes", tag.left(31)));
}

TEST(RepositorySettings, sealedSettingsRoundTripAndRefuseOtherLengths)
{
    for (const auto cipher : {ZRV::Core::Encryption::Aes256, ZRV::Core::Encryption::NoEncryption}) {
        SCOPED_TRACE(int(cipher));
        RepositorySettings settings = RepositorySettings::create(cipher, ZRV::Core::Compression::Gzip, 65536, 1000);
        settings.seal(settings.passwordKey("secret"));
        const QByteArray bytes = settings.encode();
        EXPECT_EQ(bytes.size(), settings.encrypted() ? 86 : 34);
        const RepositorySettings decoded = RepositorySettings::decode(bytes, "settings");
        EXPECT_EQ(decoded.encode(), bytes);
        EXPECT_EQ(decoded.authenticated(), settings.encrypted());
        EXPECT_TRUE(decoded.opens(decoded.passwordKey("secret")));
        EXPECT_EQ(decoded.opens(decoded.passwordKey("wrong")), !settings.encrypted());
        EXPECT_THROW(RepositorySettings::decode(bytes + 'x', "settings"), ToolError);
        EXPECT_THROW(RepositorySettings::decode(bytes.left(bytes.size() - 1), "settings"), ToolError);
    }
}

// The map version decides whether a repository's maps are authenticated: only encryption brings
// the keys for it, and an adopted directory keeps the version 4 maps it holds.
TEST(RepositorySettings, mapVersionFollowsEncryptionAndOrigin)
{
    using ZRV::Core::Encryption::Aes256;
    using ZRV::Core::Encryption::NoEncryption;
    const struct
    {
        ZRV::Core::Encryption::Algorithm cipher;
        RepositorySettings::Origin origin;
        quint16 mapVersion;
    } rows[] = {
        {Aes256, RepositorySettings::New, 5},
        {Aes256, RepositorySettings::Adopted, 4},
        {NoEncryption, RepositorySettings::New, 4},
    };
    for (const auto& row : rows) {
        RepositorySettings settings =
            RepositorySettings::create(row.cipher, ZRV::Core::Compression::Lz4, 4096, 1000, row.origin);
        EXPECT_EQ(settings.mapVersion(), row.mapVersion);
        settings.seal(settings.passwordKey("secret"));
        EXPECT_EQ(RepositorySettings::decode(settings.encode(), "settings").mapVersion(), row.mapVersion);
    }
    // Version 5 without encryption has no keys to check its maps with.
    QByteArray plain = RepositorySettings::create(NoEncryption, ZRV::Core::Compression::Lz4, 4096, 1000).encode();
    const int mapVersionOffset = 8 + 2 + 16 + 1; // magic, format version, id, high byte of the map version
    plain[mapVersionOffset] = 5;
    EXPECT_THROW(RepositorySettings::decode(plain, "settings"), ToolError);
}
