// Reads arbitrary bytes as a version 1 container through V1::Unpackage with a fixed password.
// Version 1 has no integrity check, so no verdict to compare.
#include "unpackagecheck.h"

#include "filecontainer/version1/unpackage.h"

using ZRV::Stream::FileContainer::V1::Unpackage;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    ZRV::Fuzz::checkUnpackage<Unpackage>(data, size, [](const Unpackage&) { return ZRV::Fuzz::Verdict::Unchecked; });
    return 0;
}
