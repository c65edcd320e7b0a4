// Reads arbitrary bytes as a version 2 container through V2::Unpackage with a fixed password.
// Encrypted containers carry a trailer, so their verdict must not depend on how they are read.
#include "unpackagecheck.h"

#include "filecontainer/version2/unpackage.h"

using ZRV::Stream::FileContainer::V2::Unpackage;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using ZRV::Fuzz::Verdict;
    ZRV::Fuzz::checkUnpackage<Unpackage>(data, size, [](const Unpackage& unpackage) {
        if (!unpackage.useEncryption() && unpackage.realSize() == 0)
            return Verdict::Unchecked;
        return unpackage.validate() ? Verdict::Valid : Verdict::Invalid;
    });
    return 0;
}
