#pragma once

#include <QByteArray>

// The key that authenticates a repository's settings and tells a right password from a wrong one.
// Built from the repository's password key (ZRV::Encryption::KeyDerivation::passwordKey):
//   settingsKey = subkey(passwordKey, "zrv settings")
//   tag         = HMAC-SHA-256(settingsKey, the settings bytes before the tag)
class SettingsKey
{
public:
    explicit SettingsKey(const QByteArray& passwordKey);
    ~SettingsKey();

    QByteArray tag(const QByteArray& settings) const;
    // Compares in constant time.
    bool matches(const QByteArray& settings, const QByteArray& tag) const;

private:
    QByteArray key_;
};
