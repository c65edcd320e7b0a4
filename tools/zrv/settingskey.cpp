#include "settingskey.h"

#include "encryption/keyderivation.h"

#include <QMessageAuthenticationCode>

using ZRV::Encryption::KeyDerivation;

SettingsKey::SettingsKey(const QByteArray& passwordKey)
    : key_(KeyDerivation::subkey(passwordKey, KeyDerivation::SettingsLabel))
{
}

SettingsKey::~SettingsKey()
{
    key_.fill('\0');
}

QByteArray SettingsKey::tag(const QByteArray& settings) const
{
    return QMessageAuthenticationCode::hash(settings, key_, QCryptographicHash::Sha256);
}

bool SettingsKey::matches(const QByteArray& settings, const QByteArray& tag) const
{
    const QByteArray expected = this->tag(settings);
    if (tag.size() != expected.size())
        return false;
    unsigned char difference = 0;
    for (int i = 0; i < expected.size(); ++i)
        difference |= static_cast<unsigned char>(expected[i] ^ tag[i]);
    return difference == 0;
}
