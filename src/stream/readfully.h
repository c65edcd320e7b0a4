#pragma once

#include <QIODevice>

namespace ZRV::Stream {

// Reads until `size` bytes came, however few each read of `device` brings: the one place where a
// reader gathers a field, a block or a header. After a read of 0, a random-access device at its
// end has ended; otherwise the call waits for more (waitForReadyRead) and reads again, since a
// sequential device (a process, a socket) reports atEnd() whenever nothing is buffered. A device
// that cannot wait is believed on atEnd(); one that neither delivers nor ends is taken as ended
// after a long run of empty reads. Returns the bytes read, fewer only at the
// device's end; -1 (the device's error string tells why) when a read failed before any byte came,
// else the bytes gathered before the failure. `stalled`, when given, tells whether the call gave
// up on a device that neither delivered nor ended.
qint64 readFully(QIODevice& device, char* data, qint64 size, bool* stalled = nullptr);

} // namespace ZRV::Stream
