#include "cipherchoice.h"

#include <QStringList>

using namespace ZRV::Core::Encryption;

CipherChoice::Choices CipherChoice::containerCiphers()
{
    return {{"aes256", Aes256}, {"aes192", Aes192}, {"aes128", Aes128},    {"3des", Des3},
            {"3des2", Des112},  {"des", Des},       {"none", NoEncryption}};
}

CipherChoice::Choices CipherChoice::backupCiphers()
{
    return {{"aes256", Aes256}, {"aes192", Aes192}, {"aes128", Aes128}, {"none", NoEncryption}};
}

QString CipherChoice::help(const Choices& choices)
{
    QStringList names;
    for (const auto& choice : choices)
        names << choice.first;
    return QStringLiteral("Cipher: %1 (default %2).").arg(names.join(QLatin1String(", ")), names.first());
}

QString CipherChoice::name(int algorithm)
{
    for (const auto& choice : containerCiphers()) {
        if (choice.second == algorithm)
            return choice.first;
    }
    return QString::number(algorithm);
}
