// The repository settings tag, pinned by a value computed independently (Python's hashlib and hmac).
#include "settingskey.h"
#include "repositorysettings.h"
#include "toolerror.h"

#include <gtest/gtest.h>

TEST(SettingsKey, knownAnswer)
{
    QByteArray salt;
    for (char byte = 0; byte < 16; ++byte)
        salt.append(byte);
    const SettingsKey key("secret", salt, 1000);
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
        settings.seal("secret");
        const QByteArray bytes = settings.encode();
        EXPECT_EQ(bytes.size(), settings.encrypted() ? 86 : 34);
        const RepositorySettings decoded = RepositorySettings::decode(bytes, "settings");
        EXPECT_EQ(decoded.encode(), bytes);
        EXPECT_TRUE(decoded.opens("secret"));
        EXPECT_EQ(decoded.opens("wrong"), !settings.encrypted());
        EXPECT_THROW(RepositorySettings::decode(bytes + 'x', "settings"), ToolError);
        EXPECT_THROW(RepositorySettings::decode(bytes.left(bytes.size() - 1), "settings"), ToolError);
    }
}
