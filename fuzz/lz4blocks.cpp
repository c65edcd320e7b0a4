// Reads arbitrary bytes as the LZ4 block format through DecompressionStream.
// Input: a request-pattern byte, then the compressed bytes. Bit 6 of the pattern byte picks
// algorithm 4 instead of 3 (the reader must treat both alike).
// Checks: the stream ends or closes itself with an error, and whether it fails and what it
// delivers on success do not depend on how it is read.
#include "fuzzinput.h"

#include "compression/decompressionstream.h"

using namespace ZRV::Fuzz;
using ZRV::Stream::DecompressionStream;

namespace {

struct Outcome
{
    Drained drained;
    bool failed;
};

Outcome decompress(const QByteArray& compressed, ZRV::Core::Compression::Algorithm algorithm, quint8 pattern)
{
    DecompressionStream stream(inputDevice(compressed), algorithm, nullptr);
    require(stream.open(openMode(pattern)), "open failed");
    Outcome outcome{drain(stream, pattern), false};
    outcome.failed = !stream.isOpen();
    require(outcome.failed || outcome.drained.atEnd || outcome.drained.capped, "stream stopped short without failing");
    return outcome;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    quietLogging();
    const quint8 pattern = data[0];
    const auto algorithm = (pattern & 0x40) ? ZRV::Core::Compression::Lz4Flagged : ZRV::Core::Compression::Lz4;
    const QByteArray compressed = inputBytes(data + 1, size - 1);

    const Outcome patterned = decompress(compressed, algorithm, pattern);
    const Outcome large = decompress(compressed, ZRV::Core::Compression::Lz4, LargeReads);
    // A capped reader stopped before the end, where a failure may still lie.
    if (patterned.drained.capped || large.drained.capped)
        return 0;
    require(patterned.failed == large.failed, "failure depends on the request sizes");
    require(patterned.failed || patterned.drained.digest == large.drained.digest,
            "output depends on the request sizes");
    return 0;
}
