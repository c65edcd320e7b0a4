#pragma once

#include "zrvstreams_export.h"

#include <QDataStream>

namespace ZRV::Stream::FileContainer::V1 {

// The compression record of a container header: one byte, always gzip (1).
class ZRVSTREAMS_EXPORT CompressionInfo
{
public:
    static const int SupportType;

    CompressionInfo();
    virtual ~CompressionInfo();

    int type() const;
    // Bytes the record takes in a header.
    int getSize() const;

    bool operator==(const CompressionInfo& other) const;
    bool operator!=(const CompressionInfo& other) const;

private:
    int type_;
};

ZRVSTREAMS_EXPORT QDataStream& operator<<(QDataStream& stream, const CompressionInfo& info);
// Throws ZRV::Exception::InvalidData for any type byte but 1.
ZRVSTREAMS_EXPORT QDataStream& operator>>(QDataStream& stream, CompressionInfo& info);

} // namespace ZRV::Stream::FileContainer::V1
