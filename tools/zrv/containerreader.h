#pragma once

#include <QIODevice>
#include <QString>

class PasswordSource;

// Unpacks a container of either version and checks it: decryption, decompression, the
// version 2 trailer, and the data size the header recorded. Throws ToolError when anything is
// wrong, after the data read so far went to `out` (when given). An unencrypted container is
// refused when the user supplied a password, unless `allowUnencrypted`: it may be a swapped or
// altered container, which nothing could tell. Returns what the check could not cover, empty
// when the container is authenticated. `workers` threads share the decompression and the HMAC.
class ContainerReader
{
public:
    static QString read(const QString& in, QIODevice* out, const PasswordSource& passwords, bool allowUnencrypted,
                        bool quiet, int workers);
};
