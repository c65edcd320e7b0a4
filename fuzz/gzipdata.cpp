// Reads arbitrary bytes as gzip data through DecompressionStream (algorithm 1).
// Input: a request-pattern byte, then the compressed bytes.
// Checks: the stream reaches its end (corrupt gzip data ends the output early, without an
// error), and the bytes delivered under two request patterns agree as far as both go.
#include "fuzzinput.h"

#include "compression/decompressionstream.h"

using namespace ZRV::Fuzz;
using ZRV::Stream::DecompressionStream;

namespace {

Drained decompress(const QByteArray& compressed, quint8 pattern)
{
    DecompressionStream stream(inputDevice(compressed), ZRV::Core::Compression::Gzip, nullptr);
    require(stream.open(openMode(pattern)), "open failed");
    const Drained drained = drain(stream, pattern);
    require(drained.atEnd || drained.capped, "stream stopped short of its end");
    return drained;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    quietLogging();
    const QByteArray compressed = inputBytes(data + 1, size - 1);
    const Drained patterned = decompress(compressed, data[0]);
    const Drained large = decompress(compressed, LargeReads);
    const QByteArray& shorter = patterned.head.size() < large.head.size() ? patterned.head : large.head;
    const QByteArray& longer = patterned.head.size() < large.head.size() ? large.head : patterned.head;
    require(longer.startsWith(shorter), "outputs under two request patterns disagree");
    return 0;
}
