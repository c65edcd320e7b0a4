#pragma once

#include <QtGlobal>

namespace ZRV::Core::Encryption {

// Symmetric ciphers, stored as 32-bit integers wherever a format records one.
enum Algorithm : qint32 {
    Des = 0,
    Des112 = 1, // two-key triple DES
    Des3 = 2, // three-key triple DES
    Aes128 = 3,
    Aes192 = 4,
    Aes256 = 5,
    NoEncryption = 6,
};

// Cipher modes of the engine factory.
enum Type : qint32 {
    AllData = 0, // CBC with PKCS#7 padding
    KeyWrap = 1, // deterministic authenticated wrapping of short keys
};

} // namespace ZRV::Core::Encryption

namespace ZRV::Core::Compression {

enum Algorithm : qint32 {
    None = 0,
    Gzip = 1,
    // Value 2 is reserved and accepted by nothing.
    Lz4 = 3,
    Lz4Flagged = 4, // the LZ4 block format of 3, every block header flagged with 2
};

} // namespace ZRV::Core::Compression
