#pragma once

#include "blocklevel/mapstream.h"
#include "zrvstreams_export.h"

#include <QByteArray>
#include <QDataStream>

namespace ZRV::Stream::BlockLevel {

// One block's record: where the block's stored bytes lie (revision, offset, length) and the
// MD5 of its plain bytes. Encoded in DataBlockSize bytes.
class ZRVSTREAMS_EXPORT MapStream::Data
{
public:
    static constexpr quint16 HashSize = 16;
    static constexpr quint16 DataBlockSize = 33;

    static int calculateDataBlockSize();

    unsigned int revision() const;
    void setRevision(unsigned int revision);
    bool isUsed() const;
    void setUsed(bool used);
    unsigned long long offset() const;
    void setOffset(unsigned long long offset);
    unsigned int length() const;
    void setLength(unsigned int length);
    QByteArray hash() const;
    void setHash(const QByteArray& hash);

private:
    quint32 revision_ = 0;
    bool used_ = true;
    quint64 offset_ = 0;
    quint32 length_ = 0;
    QByteArray hash_;
};

// The hash is written as exactly HashSize bytes (zero-filled or cut).
ZRVSTREAMS_EXPORT QDataStream& operator<<(QDataStream& stream, const MapStream::Data& data);
// A short device leaves the stream's status at ReadPastEnd; callers check it.
ZRVSTREAMS_EXPORT QDataStream& operator>>(QDataStream& stream, MapStream::Data& data);

} // namespace ZRV::Stream::BlockLevel
