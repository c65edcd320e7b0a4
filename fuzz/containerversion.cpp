// Reads arbitrary bytes with the container version check (CheckVersion::check).
// Checks: the answer is 0, 1 or 2, the device is back at its start, and the header reader of the
// version named reads the bytes without a format error.
#include "fuzzinput.h"

#include "core/exception/invaliddata.h"
#include "filecontainer/checkversion.h"
#include "filecontainer/version1/header.h"
#include "filecontainer/version2/header.h"

#include <QDataStream>

using namespace ZRV::Fuzz;
using namespace ZRV::Stream::FileContainer;

namespace {

template <class Header>
bool reads(const QByteArray& input)
{
    Header header("");
    QDataStream stream(input);
    try {
        stream >> header;
    } catch (const ZRV::Exception::InvalidData&) {
        return false;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    quietLogging();
    const QByteArray input = inputBytes(data, size);
    const auto device = inputDevice(input);
    const int version = CheckVersion::check(device);
    require(device->pos() == 0, "the device is not back at its start");
    switch (version) {
    case 2:
        require(reads<V2::Header>(input), "version 2 named for a header its reader refuses");
        break;
    case 1:
        require(reads<V1::Header>(input) && !reads<V2::Header>(input), "version 1 named wrongly");
        break;
    case 0:
        break;
    default:
        fail("version outside 0 to 2");
    }
    return 0;
}
