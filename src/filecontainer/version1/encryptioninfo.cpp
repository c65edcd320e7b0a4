#include "filecontainer/version1/encryptioninfo.h"

#include "core/encryption/cipher.h"
#include "core/encryption/key.h"
#include "core/exception/invaliddata.h"

#include <QObject>

using namespace ZRV::Core::Encryption;

namespace ZRV::Stream::FileContainer::V1 {

namespace {

#ifdef FUZZING_BUILD_MODE_UNSAFE_FOR_PRODUCTION
// Fuzzing explores the readers, not key derivation, which at the full cap takes seconds an
// input under the sanitizers.
const qint32 MaxKdfIteration = 10000;
#else
// Far above what writers store, low enough that a hostile header cannot stall key derivation.
const qint32 MaxKdfIteration = 10000000;
#endif

// The cipher family as the header stores it.
enum TypeByte : quint8 { TypeNone = 0, TypeDes = 1, TypeTripleDes = 2, TypeAes = 3 };

quint8 typeByte(Algorithm algorithm)
{
    switch (algorithm) {
    case Des:
        return TypeDes;
    case Des112:
    case Des3:
        return TypeTripleDes;
    case Aes128:
    case Aes192:
    case Aes256:
        return TypeAes;
    case NoEncryption:
        return TypeNone;
    }
    throw ZRV::Exception::InvalidData(QObject::tr("Invalid encryption type"));
}

} // namespace

const quint8 EncryptionInfo::EncryptionMode = 1;
const quint8 EncryptionInfo::EncryptionPadding = 2;

EncryptionInfo::EncryptionInfo(const QByteArray& password)
    : password_(password)
    , algorithm_(NoEncryption)
    , mode_(EncryptionMode)
    , padding_(EncryptionPadding)
    , keyBits_(0)
    , reservedByte_(1)
    , kdfIteration_(0)
{
}

EncryptionInfo::EncryptionInfo(Algorithm algorithm, const QByteArray& password, const QByteArray& salt)
    : EncryptionInfo(password)
{
    algorithm_ = algorithm;
    kdfSalt_ = salt;
    kdfIteration_ = Key::ITERATION_SIMPLE;
    keyBits_ = qint16(8 * Key::length(algorithm));
}

EncryptionInfo::~EncryptionInfo() = default;

Algorithm EncryptionInfo::algorythm() const
{
    return algorithm_;
}

int EncryptionInfo::kdfIteration() const
{
    return kdfIteration_;
}

QByteArray EncryptionInfo::kdfSalt() const
{
    return kdfSalt_;
}

const QByteArray& EncryptionInfo::masterKey()
{
    if (masterKey_.isEmpty())
        masterKey_ = Key::generateAdvanced(algorithm_, password_, kdfSalt_, kdfIteration_);
    return masterKey_;
}

int EncryptionInfo::getSize() const
{
    return algorithm_ == NoEncryption ? 1 : 11 + kdfSalt_.size();
}

bool EncryptionInfo::operator==(const EncryptionInfo& other) const
{
    return algorithm_ == other.algorithm_ && mode_ == other.mode_ && padding_ == other.padding_
        && keyBits_ == other.keyBits_ && reservedByte_ == other.reservedByte_ && kdfIteration_ == other.kdfIteration_
        && kdfSalt_ == other.kdfSalt_;
}

bool EncryptionInfo::operator!=(const EncryptionInfo& other) const
{
    return !(*this == other);
}

QDataStream& EncryptionInfo::operator>>(QDataStream& stream) const
{
    stream.setByteOrder(QDataStream::LittleEndian);
    stream << typeByte(algorithm_);
    if (algorithm_ == NoEncryption)
        return stream;
    // The salt length is one byte; cutting a longer salt would make the key underivable.
    if (kdfSalt_.size() > 255)
        throw ZRV::Exception::InvalidData(QObject::tr("Salt of %1 bytes is longer than 255").arg(kdfSalt_.size()));
    stream << mode_ << padding_ << keyBits_ << reservedByte_ << kdfIteration_ << quint8(kdfSalt_.size());
    stream.writeRawData(kdfSalt_.constData(), kdfSalt_.size());
    return stream;
}

QDataStream& EncryptionInfo::operator<<(QDataStream& stream)
{
    stream.setByteOrder(QDataStream::LittleEndian);
    quint8 type = 0;
    stream >> type;
    switch (type) {
    case TypeNone:
        algorithm_ = NoEncryption;
        return stream;
    case TypeDes:
        algorithm_ = Des;
        break;
    case TypeTripleDes:
        algorithm_ = Des3;
        break;
    case TypeAes:
        algorithm_ = Aes128;
        break;
    default:
        throw ZRV::Exception::InvalidData(QObject::tr("Unsupported encryption type %1").arg(int(type)));
    }
    stream >> mode_;
    if (mode_ != EncryptionMode)
        throw ZRV::Exception::InvalidData(QObject::tr("Unsupported encryption mode type %1").arg(int(mode_)));
    quint8 saltLength = 0;
    stream >> padding_ >> keyBits_ >> reservedByte_ >> kdfIteration_ >> saltLength;
    if (kdfIteration_ > MaxKdfIteration)
        throw ZRV::Exception::InvalidData(
            QObject::tr("Unsupported key derivation iteration count %1").arg(kdfIteration_));
    kdfSalt_.resize(saltLength);
    kdfSalt_.resize(qMax(0, stream.readRawData(kdfSalt_.data(), saltLength)));
    correctedAlgorithm(*this);
    return stream;
}

int EncryptionInfo::getKeyLength(const EncryptionInfo& info)
{
    const int keyLength = Key::length(info.algorithm_);
    if (keyLength == 0)
        throw ZRV::Exception::InvalidData(QObject::tr("Invalid encryption type"));
    const int keyBits = 8 * keyLength;
    const int v = keyBits + 2 * quint16(info.keyBits_);
    return (v - v % keyBits) / 8;
}

void EncryptionInfo::correctedAlgorithm(EncryptionInfo& info)
{
    switch (info.algorithm_) {
    case Aes128:
    case Aes192:
    case Aes256:
        switch (info.keyBits_) {
        case 256:
            info.algorithm_ = Aes256;
            break;
        case 192:
            info.algorithm_ = Aes192;
            break;
        case 128:
            info.algorithm_ = Aes128;
            break;
        }
        break;
    case Des112:
    case Des3:
        switch (info.keyBits_) {
        case 112:
        case 128:
            info.algorithm_ = Des112;
            break;
        case 168:
        case 192:
            info.algorithm_ = Des3;
            break;
        }
        break;
    default:
        break;
    }
}

} // namespace ZRV::Stream::FileContainer::V1
