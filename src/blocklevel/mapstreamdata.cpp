#include "blocklevel/mapstreamdata.h"

namespace ZRV::Stream::BlockLevel {

int MapStream::Data::calculateDataBlockSize()
{
    return DataBlockSize;
}

unsigned int MapStream::Data::revision() const
{
    return revision_;
}

void MapStream::Data::setRevision(unsigned int revision)
{
    revision_ = revision;
}

bool MapStream::Data::isUsed() const
{
    return used_;
}

void MapStream::Data::setUsed(bool used)
{
    used_ = used;
}

unsigned long long MapStream::Data::offset() const
{
    return offset_;
}

void MapStream::Data::setOffset(unsigned long long offset)
{
    offset_ = offset;
}

unsigned int MapStream::Data::length() const
{
    return length_;
}

void MapStream::Data::setLength(unsigned int length)
{
    length_ = length;
}

QByteArray MapStream::Data::hash() const
{
    return hash_;
}

void MapStream::Data::setHash(const QByteArray& hash)
{
    hash_ = hash;
}

QDataStream& operator<<(QDataStream& stream, const MapStream::Data& data)
{
    stream.setByteOrder(QDataStream::LittleEndian);
    const QByteArray hash = data.hash().leftJustified(MapStream::Data::HashSize, '\0', true);
    stream.writeRawData(hash.constData(), hash.size());
    stream << quint32(data.revision()) << quint8(data.isUsed() ? 1 : 0) << quint64(data.offset())
           << quint32(data.length());
    return stream;
}

QDataStream& operator>>(QDataStream& stream, MapStream::Data& data)
{
    stream.setByteOrder(QDataStream::LittleEndian);
    QByteArray hash(MapStream::Data::HashSize, '\0');
    stream.readRawData(hash.data(), hash.size());
    quint32 revision = 0;
    quint8 used = 0;
    quint64 offset = 0;
    quint32 length = 0;
    stream >> revision >> used >> offset >> length;
    data.setHash(hash);
    data.setRevision(revision);
    data.setUsed(used != 0);
    data.setOffset(offset);
    data.setLength(length);
    return stream;
}

} // namespace ZRV::Stream::BlockLevel
