#pragma once

#include <QIODevice>

namespace ZRV::Stream {

// Bytes that Qt's read buffer of `device` holds beyond what its caller has read, given the
// position up to which the device's own readData has produced bytes: what peek() or ungetChar()
// left there (streams open Unbuffered, so Qt reads nothing ahead by itself). A stream's atEnd()
// and pos() speak for its caller, so they subtract this.
inline qint64 readAheadByteCount(const QIODevice& device, qint64 producedPosition)
{
    // Qt tracks the caller's position only for random-access devices; for sequential ones
    // everything still available is buffered.
    return device.isSequential() ? device.QIODevice::bytesAvailable() : producedPosition - device.QIODevice::pos();
}

} // namespace ZRV::Stream
