#pragma once

#include "core/encryption/algorithm.h"

#include <QByteArray>
#include <QString>

// What a repository fixes once, at `zrv init`: the map version its revisions use, cipher,
// compression and block size, and for an encrypted repository the salt and PBKDF2 iteration count
// of its password key, and the tag that authenticates these bytes under that key (see
// SettingsKey). Encoded big-endian, 34 bytes without encryption and 86 with it (docs/formats.md).
// A new encrypted repository is authenticated (map version 5); one without encryption, or adopted
// from zrv 0.1.0, keeps version 4 maps.
class RepositorySettings
{
public:
    static constexpr quint16 FormatVersion = 1;
    static constexpr quint16 PlainMapVersion = 4;
    static constexpr quint16 AuthenticatedMapVersion = 5;
    static constexpr int DefaultIterations = 600000;
    static constexpr quint32 MinimumIterations = 1000;
    static constexpr quint32 MaximumIterations = 100000000;

    enum Origin { New, Adopted };

    // New settings with a random repository id (and salt when encrypted), not yet sealed. Adopted
    // settings describe the version 4 maps a directory of zrv 0.1.0 holds already.
    static RepositorySettings create(ZRV::Core::Encryption::Algorithm cipher,
                                     ZRV::Core::Compression::Algorithm compression, quint32 blockSize, int iterations,
                                     Origin origin = New);
    // Throws ToolError naming `file` when the bytes are no settings of a known version.
    static RepositorySettings decode(const QByteArray& bytes, const QString& file);

    QByteArray encode() const;
    bool encrypted() const { return cipher_ != ZRV::Core::Encryption::NoEncryption; }
    // Whether the repository's maps are authenticated (version 5).
    bool authenticated() const { return mapVersion_ == AuthenticatedMapVersion; }
    // The password key of an encrypted repository (KeyDerivation::passwordKey over its salt and
    // iteration count): slow by design, derive it once per run. Empty without encryption.
    QByteArray passwordKey(const QByteArray& password) const;
    // Computes the tag of an encrypted repository under its password key.
    void seal(const QByteArray& passwordKey);
    // Whether `passwordKey` opens these settings (always true without encryption).
    bool opens(const QByteArray& passwordKey) const;

    QByteArray id() const { return id_; }
    quint16 mapVersion() const { return mapVersion_; }
    ZRV::Core::Encryption::Algorithm cipher() const { return cipher_; }
    ZRV::Core::Compression::Algorithm compression() const { return compression_; }
    quint32 blockSize() const { return blockSize_; }
    int iterations() const { return int(iterations_); }

private:
    QByteArray taggedBytes() const;

    QByteArray id_;
    quint16 mapVersion_ = PlainMapVersion;
    ZRV::Core::Encryption::Algorithm cipher_ = ZRV::Core::Encryption::NoEncryption;
    ZRV::Core::Compression::Algorithm compression_ = ZRV::Core::Compression::Lz4;
    quint32 blockSize_ = 0;
    QByteArray salt_;
    quint32 iterations_ = 0;
    QByteArray tag_;
};
