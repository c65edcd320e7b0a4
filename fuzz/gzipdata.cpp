// Reads arbitrary bytes as gzip data through DecompressionStream (algorithm 1).
// Input: a request-pattern byte, then the compressed bytes.
// Checks: the stream reaches its end or fails with a read error (damaged gzip data), both request
// patterns meet the same outcome, and the bytes delivered under them agree as far as both go.
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
    require(drained.atEnd || drained.readFailed || drained.capped, "stream stopped short of its end");
    require(!drained.readFailed || !stream.errorString().isEmpty(), "read failed without an error string");
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
    if (!patterned.capped && !large.capped)
        require(patterned.readFailed == large.readFailed, "damage found under one request pattern only");
    const QByteArray& shorter = patterned.head.size() < large.head.size() ? patterned.head : large.head;
    const QByteArray& longer = patterned.head.size() < large.head.size() ? large.head : patterned.head;
    require(longer.startsWith(shorter), "outputs under two request patterns disagree");
    return 0;
}
