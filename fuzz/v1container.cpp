// Reads arbitrary bytes as a version 1 container through V1::Unpackage with a fixed password.
// Version 1 has no trailer; a container that records its size gets the size check as verdict.
#include "unpackagecheck.h"

#include "filecontainer/version1/unpackage.h"

using ZRV::Stream::FileContainer::V1::Unpackage;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using ZRV::Fuzz::Verdict;
    // Version 1 has no trailer: only a recorded size can be checked.
    ZRV::Fuzz::checkUnpackage<Unpackage>(data, size, [](const Unpackage& unpackage) {
        if (unpackage.realSize() == 0)
            return Verdict::Unchecked;
        return unpackage.validate() ? Verdict::Valid : Verdict::Invalid;
    });
    return 0;
}
