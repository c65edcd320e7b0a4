#include "filecontainer/version2/headervalidate.h"

#include "core/exception/invaliddata.h"
#include "core/zrvdebug.h"
#include "filecontainer/version2/header.h"

#include <QCryptographicHash>
#include <QMessageAuthenticationCode>
#include <QObject>

namespace ZRV::Stream::FileContainer::V2 {

namespace {

const int TagSize = 32;

bool equalInConstantTime(const QByteArray& a, const QByteArray& b)
{
    if (a.size() != b.size())
        return false;
    char difference = 0;
    for (int i = 0; i < a.size(); ++i)
        difference |= a[i] ^ b[i];
    return difference == 0;
}

} // namespace

HeaderValidate::HeaderValidate(Header* header)
    : header_(header)
{
}

int HeaderValidate::getSize() const
{
    return TagSize;
}

QByteArray HeaderValidate::byteArray() const
{
    QByteArray bytes;
    QDataStream stream(&bytes, QIODevice::WriteOnly);
    stream << *this;
    return bytes;
}

QByteArray HeaderValidate::tag() const
{
    const QByteArray key = QCryptographicHash::hash(header_->encryptionInfo()->masterKey(), QCryptographicHash::Sha256);
    return QMessageAuthenticationCode::hash(header_->byteArray(), key, QCryptographicHash::Sha256);
}

QDataStream& operator<<(QDataStream& stream, const HeaderValidate& validate)
{
    stream.setByteOrder(QDataStream::LittleEndian);
    if (validate.header_->encryptionInfo()) {
        const QByteArray tag = validate.tag();
        stream.writeRawData(tag.constData(), tag.size());
    }
    return stream;
}

QDataStream& operator>>(QDataStream& stream, HeaderValidate& validate)
{
    stream.setByteOrder(QDataStream::LittleEndian);
    if (!validate.header_->encryptionInfo())
        return stream;
    QByteArray stored(TagSize, '\0');
    if (stream.readRawData(stored.data(), TagSize) != TagSize)
        throw ZRV::Exception::InvalidData(QObject::tr("Container header is cut short"));
    if (!equalInConstantTime(stored, validate.tag())) {
        ZrvDebug("TXK").error() << "Container header is corrupted";
        throw ZRV::Exception::InvalidData(QObject::tr("Incorrect decryption password (Container header is corrupted)"));
    }
    return stream;
}

} // namespace ZRV::Stream::FileContainer::V2
