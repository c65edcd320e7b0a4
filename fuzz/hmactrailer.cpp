// Reads arbitrary bytes as an HMAC-protected stream through Hmacing::OutStream.
// Input: a request-pattern byte, then the protected bytes (payload and 32-byte trailer).
// Checks: the payload handed out is exactly the input less its last 32 bytes, whatever the
// request sizes, and validate() is true exactly when those 32 bytes are the payload's MAC.
#include "fuzzinput.h"

#include "encryption/hmacing/outstream.h"

#include <QCryptographicHash>
#include <QMessageAuthenticationCode>

using namespace ZRV::Fuzz;
using ZRV::Stream::Hmacing::OutStream;

namespace {

const QByteArray Key = "fuzz integrity key";
const QByteArray Context = "fuzz context iv.";
const int TrailerLength = 32;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    quietLogging();
    const quint8 pattern = data[0];
    const QByteArray sealed = inputBytes(data + 1, size - 1);

    OutStream stream(inputDevice(sealed), Key, nullptr);
    require(stream.open(openMode(pattern)), "open failed");
    stream.addData(Context);
    const Drained drained = drain(stream, pattern);
    require(drained.atEnd && !drained.readFailed, "stream stopped short of its end");

    const QByteArray payload = sealed.left(qMax(sealed.size() - TrailerLength, 0));
    require(drained.digest == QCryptographicHash::hash(payload, QCryptographicHash::Sha256),
            "payload is not the input less its trailer");
    const bool trailerHolds = sealed.size() >= TrailerLength
        && sealed.right(TrailerLength)
            == QMessageAuthenticationCode::hash(Context + payload, Key, QCryptographicHash::Sha256);
    require(stream.validate() == trailerHolds, "validate() disagrees with the trailer");
    return 0;
}
