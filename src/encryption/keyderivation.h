#pragma once

#include "zrvstreams_export.h"

#include <QByteArray>

namespace ZRV::Encryption {

// The keys of an authenticated repository, each for one job:
//   password key  = PBKDF2-HMAC-SHA-256(password, salt, iterations, 32 bytes), the salt and the
//                   iteration count being the repository's own;
//   subkey(K, L)  = HMAC-SHA-256(K, L ‖ 0x01), one block of HKDF-Expand with the ASCII label L.
// The labels below name every key there is; no key serves two of them.
class ZRVSTREAMS_EXPORT KeyDerivation
{
public:
    static constexpr int KeyLength = 32;
    static constexpr int SaltLength = 16;
    static constexpr int DefaultIterations = 600000;

    // From the password key: authenticates the repository settings file.
    static constexpr const char* SettingsLabel = "zrv settings";
    // From the password key: wraps the chain's master key.
    static constexpr const char* MasterKeyLabel = "zrv master key";
    // From the master key.
    static constexpr const char* BlockEncryptionLabel = "zrv block encryption";
    static constexpr const char* BlockMacLabel = "zrv block mac";
    static constexpr const char* BlockHashLabel = "zrv block hash";
    static constexpr const char* MapMacLabel = "zrv map mac";
    // From the master-key wrapping key: its cipher key and its MAC key.
    static constexpr const char* WrapEncryptionLabel = "encryption";
    static constexpr const char* WrapMacLabel = "mac";

    // KeyLength bytes. An iteration count below 1 counts as 1. Slow by design (600 000 rounds
    // take a good part of a second): derive it once per run.
    static QByteArray passwordKey(const QByteArray& password, const QByteArray& salt, int iterations);
    // KeyLength bytes.
    static QByteArray subkey(const QByteArray& key, const char* label);
};

} // namespace ZRV::Encryption
