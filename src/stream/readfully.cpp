#include "stream/readfully.h"

namespace ZRV::Stream {

// Empty reads in a row from a device whose waitForReadyRead() cannot wait (a QIODevice that does
// not implement it) before it counts as ended.
static const int MaxIdleReads = 1000;

qint64 readFully(QIODevice& device, char* data, qint64 size)
{
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
        if (device.atEnd() || (!device.waitForReadyRead(-1) && ++idleReads > MaxIdleReads))
            break;
    }
    return filled;
}

} // namespace ZRV::Stream
