#pragma once

#include <QByteArray>

// The key that authenticates a repository's settings and tells a right password from a wrong one:
//   passwordKey = PBKDF2-HMAC-SHA-256(password, salt, iterations, 32 bytes)
//   settingsKey = HMAC-SHA-256(passwordKey, "zrv settings" || 0x01)
//   tag         = HMAC-SHA-256(settingsKey, the settings bytes before the tag)
class SettingsKey
{
public:
    SettingsKey(const QByteArray& password, const QByteArray& salt, int iterations);
    ~SettingsKey();

    QByteArray tag(const QByteArray& settings) const;
    // Compares in constant time.
    bool matches(const QByteArray& settings, const QByteArray& tag) const;

private:
    QByteArray key_;
};
