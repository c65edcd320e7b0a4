#pragma once

#include <QIODevice>
#include <QString>

class PasswordSource;

// Unpacks a container of either version and checks it: decryption, decompression, the
// version 2 trailer, and the data size the header recorded. Throws ToolError when anything is
// wrong, after the data read so far went to `out` (when given).
class ContainerReader
{
public:
    static void read(const QString& in, QIODevice* out, const PasswordSource& passwords, bool quiet);
};
