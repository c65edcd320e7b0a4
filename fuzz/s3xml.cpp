// Reads arbitrary bytes as the body of an S3 answer with S3Xml (error, text, listing).
// Checks: nothing crashes or hangs; a listing that comes out has only entries with a key and a
// size of at least 0; what
// completeMultipartUpload writes reads back as the same ETag.
#include "fuzzinput.h"

#include "cloud/s3xml.h"

using namespace ZRV::Fuzz;
using ZRV::Cloud::S3Xml;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    quietLogging();
    const QByteArray body = inputBytes(data, size);
    S3Xml::error(body);
    S3Xml::text(body, QStringLiteral("UploadId"));
    if (const auto listing = S3Xml::listing(body)) {
        for (const auto& entry : listing->entries)
            require(!entry.path.isEmpty() && entry.size >= 0, "a listed object without a key or size");
    }
    // ETags are quoted hex digests; text made of those survives the round trip.
    const QByteArray etag = body.left(64).toHex();
    const QByteArray request = S3Xml::completeMultipartUpload({etag});
    require(S3Xml::text(request, QStringLiteral("ETag")).toLatin1() == etag, "an ETag that does not read back");
    return 0;
}
