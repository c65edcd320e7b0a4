// Reads arbitrary bytes as a version 2 container through V2::Unpackage with a fixed password.
#include "unpackagecheck.h"

#include "filecontainer/version2/unpackage.h"

using ZRV::Stream::FileContainer::V2::Unpackage;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    ZRV::Fuzz::checkUnpackage<Unpackage>(data, size, [](const Unpackage& unpackage) { return unpackage.validate(); });
    return 0;
}
