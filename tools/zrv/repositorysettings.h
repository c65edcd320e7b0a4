#pragma once

#include "core/encryption/algorithm.h"

#include <QByteArray>
#include <QString>

// What a repository fixes once, at `zrv init`: the map version its revisions use, cipher,
// compression and block size, and for an encrypted repository the salt and PBKDF2 iteration count
// of its password check, and the tag that authenticates these bytes under the password (see
// SettingsKey). Encoded big-endian, 34 bytes without encryption and 86 with it (docs/formats.md).
class RepositorySettings
{
public:
    static constexpr quint16 FormatVersion = 1;
    static constexpr quint16 MapVersion = 4;
    static constexpr int DefaultIterations = 600000;
    static constexpr quint32 MinimumIterations = 1000;
    static constexpr quint32 MaximumIterations = 100000000;

    // New settings with a random repository id (and salt when encrypted), not yet sealed.
    static RepositorySettings create(ZRV::Core::Encryption::Algorithm cipher,
                                     ZRV::Core::Compression::Algorithm compression, quint32 blockSize, int iterations);
    // Throws ToolError naming `file` when the bytes are no settings of a known version.
    static RepositorySettings decode(const QByteArray& bytes, const QString& file);

    QByteArray encode() const;
    bool encrypted() const { return cipher_ != ZRV::Core::Encryption::NoEncryption; }
    // Computes the tag of an encrypted repository under `password`.
    void seal(const QByteArray& password);
    // Whether `password` opens these settings (always true without encryption).
    bool opens(const QByteArray& password) const;

    QByteArray id() const { return id_; }
    quint16 mapVersion() const { return mapVersion_; }
    ZRV::Core::Encryption::Algorithm cipher() const { return cipher_; }
    ZRV::Core::Compression::Algorithm compression() const { return compression_; }
    quint32 blockSize() const { return blockSize_; }
    int iterations() const { return int(iterations_); }

private:
    QByteArray authenticated() const;

    QByteArray id_;
    quint16 mapVersion_ = MapVersion;
    ZRV::Core::Encryption::Algorithm cipher_ = ZRV::Core::Encryption::NoEncryption;
    ZRV::Core::Compression::Algorithm compression_ = ZRV::Core::Compression::Lz4;
    quint32 blockSize_ = 0;
    QByteArray salt_;
    quint32 iterations_ = 0;
    QByteArray tag_;
};
