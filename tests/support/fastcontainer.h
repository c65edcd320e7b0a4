#pragma once

#include "core/encryption/algorithm.h"

#include <QByteArray>

// Encrypted containers whose header records a key derivation of one round instead of hundreds of
// thousands, so that tests and fuzzers can open thousands of variants of them. Everything that
// depends on the derived key (the wrapped payload keys and header tag of version 2, the payload of
// version 1) is made to match; the rest is what the library writes.
QByteArray fastV2Container(const QByteArray& data, ZRV::Core::Encryption::Algorithm algorithm,
                           const QByteArray& password, bool useCompression);
QByteArray fastV1Container(const QByteArray& data, ZRV::Core::Encryption::Algorithm algorithm,
                           const QByteArray& password, bool useCompression);
