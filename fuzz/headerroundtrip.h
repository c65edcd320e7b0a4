#pragma once

#include "fuzzinput.h"

#include "core/exception/invaliddata.h"

#include <QDataStream>

namespace ZRV::Fuzz {

// Reads arbitrary bytes as a container header of the given version. A header that reads without
// error and without running out of bytes must write back to exactly getSize() bytes, and those
// bytes must read back to an equal header that writes the same bytes again.
template <class Header>
void checkHeaderRoundTrip(const uint8_t* data, size_t size)
{
    quietLogging();
    const QByteArray input = inputBytes(data, size);
    Header header("fuzz password");
    QDataStream stream(input);
    try {
        stream >> header;
    } catch (const ZRV::Exception::InvalidData&) {
        return;
    }
    if (stream.status() != QDataStream::Ok)
        return;
    const QByteArray written = header.byteArray();
    require(written.size() == header.getSize(), "written header size differs from getSize()");

    Header reread("fuzz password");
    QDataStream rereadStream(written);
    try {
        rereadStream >> reread;
    } catch (const ZRV::Exception::InvalidData&) {
        fail("a written header does not read back");
    }
    require(rereadStream.status() == QDataStream::Ok && rereadStream.atEnd(), "a written header reads short or long");
    require(reread == header, "a written header reads back different");
    require(reread.byteArray() == written, "a header writes different bytes the second time");
}

} // namespace ZRV::Fuzz
