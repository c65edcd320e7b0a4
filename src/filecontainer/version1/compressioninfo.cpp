#include "filecontainer/version1/compressioninfo.h"

#include "core/exception/invaliddata.h"

#include <QObject>

namespace ZRV::Stream::FileContainer::V1 {

const int CompressionInfo::SupportType = 1;

CompressionInfo::CompressionInfo()
    : type_(SupportType)
{
}

CompressionInfo::~CompressionInfo() = default;

int CompressionInfo::type() const
{
    return type_;
}

int CompressionInfo::getSize() const
{
    return 1;
}

bool CompressionInfo::operator==(const CompressionInfo& other) const
{
    return type_ == other.type_;
}

bool CompressionInfo::operator!=(const CompressionInfo& other) const
{
    return !(*this == other);
}

QDataStream& operator<<(QDataStream& stream, const CompressionInfo& info)
{
    stream.setByteOrder(QDataStream::LittleEndian);
    return stream << qint8(info.type());
}

QDataStream& operator>>(QDataStream& stream, CompressionInfo&)
{
    stream.setByteOrder(QDataStream::LittleEndian);
    quint8 type = 0;
    stream >> type;
    if (type != CompressionInfo::SupportType)
        throw ZRV::Exception::InvalidData(QObject::tr("Unsupported compression type %1. Supported version is a %2")
                                              .arg(int(type))
                                              .arg(CompressionInfo::SupportType));
    return stream;
}

} // namespace ZRV::Stream::FileContainer::V1
