#include "repositorysettings.h"

#include "settingskey.h"
#include "toolerror.h"

#include "encryption/keyderivation.h"

#include <QDataStream>
#include <QRandomGenerator>

namespace {

const QByteArray Magic = QByteArrayLiteral("zrv-repo");
const int PlainSize = 34;
const int TagSize = 32;
const int EncryptedSize = PlainSize + 16 + 4 + TagSize;

QByteArray randomBytes(int count)
{
    QByteArray bytes(count, Qt::Uninitialized);
    QRandomGenerator::system()->fillRange(reinterpret_cast<quint32*>(bytes.data()), count / 4);
    return bytes;
}

} // namespace

RepositorySettings RepositorySettings::create(ZRV::Core::Encryption::Algorithm cipher,
                                              ZRV::Core::Compression::Algorithm compression, quint32 blockSize,
                                              int iterations, Origin origin)
{
    RepositorySettings settings;
    settings.id_ = randomBytes(16);
    settings.cipher_ = cipher;
    settings.compression_ = compression;
    settings.blockSize_ = blockSize;
    if (settings.encrypted()) {
        settings.salt_ = randomBytes(16);
        settings.iterations_ = quint32(iterations);
        if (origin == New)
            settings.mapVersion_ = AuthenticatedMapVersion;
    }
    return settings;
}

QByteArray RepositorySettings::taggedBytes() const
{
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out.writeRawData(Magic.constData(), Magic.size());
    out << FormatVersion;
    out.writeRawData(id_.constData(), id_.size());
    out << mapVersion_ << quint8(cipher_) << quint8(compression_) << blockSize_;
    if (encrypted()) {
        out.writeRawData(salt_.constData(), salt_.size());
        out << iterations_;
    }
    return bytes;
}

QByteArray RepositorySettings::encode() const
{
    return encrypted() ? taggedBytes() + tag_ : taggedBytes();
}

RepositorySettings RepositorySettings::decode(const QByteArray& bytes, const QString& file)
{
    const auto damaged = [&](const QString& why) {
        return ToolError(ToolError::Failure, QStringLiteral("%1 is damaged: %2").arg(file, why));
    };
    if (bytes.size() < PlainSize || !bytes.startsWith(Magic))
        throw damaged(QStringLiteral("it holds no repository settings"));
    QDataStream in(bytes.mid(Magic.size()));
    RepositorySettings settings;
    quint16 version = 0;
    quint8 cipher = 0;
    quint8 compression = 0;
    in >> version;
    if (version != FormatVersion)
        throw damaged(QStringLiteral("settings version %1 is unknown to this zrv").arg(version));
    settings.id_.resize(16);
    in.readRawData(settings.id_.data(), 16);
    in >> settings.mapVersion_ >> cipher >> compression >> settings.blockSize_;
    using namespace ZRV::Core;
    if (settings.mapVersion_ != PlainMapVersion && settings.mapVersion_ != AuthenticatedMapVersion)
        throw damaged(QStringLiteral("map version %1 is unknown to this zrv").arg(settings.mapVersion_));
    if (cipher < Encryption::Aes128 || cipher > Encryption::NoEncryption)
        throw damaged(QStringLiteral("cipher %1 is unknown").arg(cipher));
    if (compression != Compression::None && compression != Compression::Gzip && compression != Compression::Lz4)
        throw damaged(QStringLiteral("compression %1 is unknown").arg(compression));
    if (settings.blockSize_ < 512 || settings.blockSize_ > (64u << 20))
        throw damaged(QStringLiteral("block size %1 is out of range").arg(settings.blockSize_));
    settings.cipher_ = Encryption::Algorithm(cipher);
    settings.compression_ = Compression::Algorithm(compression);
    // Authenticated maps need the keys only encryption brings.
    if (settings.authenticated() && !settings.encrypted())
        throw damaged(QStringLiteral("map version %1 needs encryption").arg(settings.mapVersion_));
    if (bytes.size() != (settings.encrypted() ? EncryptedSize : PlainSize))
        throw damaged(QStringLiteral("it holds %1 bytes").arg(bytes.size()));
    if (settings.encrypted()) {
        settings.salt_.resize(16);
        in.readRawData(settings.salt_.data(), 16);
        in >> settings.iterations_;
        settings.tag_ = bytes.right(TagSize);
        // Bounds keep a planted file from making the password check hang for hours.
        if (settings.iterations_ < MinimumIterations || settings.iterations_ > MaximumIterations)
            throw damaged(QStringLiteral("%1 key derivation rounds are out of range").arg(settings.iterations_));
    }
    return settings;
}

QByteArray RepositorySettings::passwordKey(const QByteArray& password) const
{
    return encrypted() ? ZRV::Encryption::KeyDerivation::passwordKey(password, salt_, int(iterations_)) : QByteArray();
}

void RepositorySettings::seal(const QByteArray& passwordKey)
{
    if (encrypted())
        tag_ = SettingsKey(passwordKey).tag(taggedBytes());
}

bool RepositorySettings::opens(const QByteArray& passwordKey) const
{
    return !encrypted() || SettingsKey(passwordKey).matches(taggedBytes(), tag_);
}
