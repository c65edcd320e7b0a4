#pragma once

#include "core/encryption/algorithm.h"

#include <QList>
#include <QPair>

// The --cipher option: names users type, and the library's algorithm each stands for.
class CipherChoice
{
public:
    using Choices = QList<QPair<QString, ZRV::Core::Encryption::Algorithm>>;

    static Choices containerCiphers();
    static Choices backupCiphers();
    static QString help(const Choices& choices);
    // The user's name for an algorithm ("aes256"), or its number when it has none.
    static QString name(int algorithm);
};
