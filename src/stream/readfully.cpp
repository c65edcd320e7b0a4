#include "stream/readfully.h"

namespace ZRV::Stream {

// Empty reads in a row, from a device that neither delivers nor admits its end, before it counts
// as ended.
static const int MaxIdleReads = 1000;

qint64 readFully(QIODevice& device, char* data, qint64 size, bool* stalled)
{
    if (stalled)
        *stalled = false;
    qint64 filled = 0;
    int idleReads = 0;
    while (filled < size) {
        const qint64 count = device.read(data + filled, size - filled);
        if (count < 0)
            return filled > 0 ? filled : -1;
        if (count > 0) {
            filled += count;
            idleReads = 0;
            continue;
        }
        // A random-access device knows its end. A sequential one may claim it whenever nothing is
        // buffered (a QProcess does): only waiting tells, and a device that cannot wait is
        // believed.
        if (device.atEnd() && !device.isSequential())
            break;
        const bool waited = device.waitForReadyRead(-1);
        if (!waited && device.atEnd())
            break;
        if (++idleReads > MaxIdleReads) {
            if (stalled)
                *stalled = true;
            break;
        }
    }
    return filled;
}

} // namespace ZRV::Stream
