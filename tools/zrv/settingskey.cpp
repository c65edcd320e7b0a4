#include "settingskey.h"

#include "core/encryption/key.h"

#include <QMessageAuthenticationCode>

SettingsKey::SettingsKey(const QByteArray& password, const QByteArray& salt, int iterations)
{
    QByteArray passwordKey =
        ZRV::Core::Encryption::Key::generateAdvanced(ZRV::Core::Encryption::Aes256, password, salt, iterations);
    key_ = QMessageAuthenticationCode::hash(QByteArrayLiteral("zrv settings\x01"), passwordKey,
                                            QCryptographicHash::Sha256);
    passwordKey.fill('\0');
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
