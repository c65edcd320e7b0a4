#pragma once

#include "zrvstreams_export.h"

#include <QByteArray>
#include <QDataStream>

namespace ZRV::Stream::FileContainer::V2 {

class Header;

// The header tag of an encrypted version 2 container: 32 bytes of HMAC-SHA-256 over the header's
// bytes, keyed with SHA-256 of the master key. It proves the password and the header together.
// The header is not owned and must outlive this object.
class ZRVSTREAMS_EXPORT HeaderValidate
{
public:
    explicit HeaderValidate(Header* header);

    int getSize() const;
    QByteArray byteArray() const;

private:
    friend QDataStream& operator<<(QDataStream& stream, const HeaderValidate& validate);
    friend QDataStream& operator>>(QDataStream& stream, HeaderValidate& validate);

    // The tag of the header as it now serialises.
    QByteArray tag() const;

    Header* header_;
};

// Writes nothing for a header without encryption record.
ZRVSTREAMS_EXPORT QDataStream& operator<<(QDataStream& stream, const HeaderValidate& validate);
// Reads 32 bytes and compares them with the tag of the header as read (re-serialised, so
// everything the reader keeps is covered). A mismatch, from a wrong password or an altered
// header, logs "Container header is corrupted" and throws ZRV::Exception::InvalidData; so does a
// stream that ends inside the tag, without the log line.
ZRVSTREAMS_EXPORT QDataStream& operator>>(QDataStream& stream, HeaderValidate& validate);

} // namespace ZRV::Stream::FileContainer::V2
