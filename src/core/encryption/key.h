#pragma once

#include "core/encryption/algorithm.h"
#include "zrvcore_export.h"

#include <QByteArray>

namespace ZRV::Core::Encryption {

class ZRVCORE_EXPORT Key
{
public:
    // PBKDF2 iteration counts that new containers record (version 1, version 2). Readers use
    // the count stored in the header, so changing these only affects new containers.
    static const int ITERATION_SIMPLE;
    static const int ITERATION_ADVANCED;

    // Key bytes of the cipher; 0 for NoEncryption and unknown values.
    static quint16 length(Algorithm algorithm);
    // Block size of the cipher, which is its IV length; 0 for NoEncryption and unknown values.
    static quint16 ivLength(Algorithm algorithm);
    static QByteArray randomKey(Algorithm algorithm);
    // 16 random bytes.
    static QByteArray randomSalt();
    // PBKDF2-HMAC-SHA-256 with max(1, iterations), length(algorithm) bytes.
    static QByteArray generateAdvanced(Algorithm algorithm, const QByteArray& password, const QByteArray& salt,
                                       int iterations);
};

} // namespace ZRV::Core::Encryption
