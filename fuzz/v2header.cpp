// Reads arbitrary bytes as a version 2 container header (V2::Header and its records). The header
// tag is left to the unpackage target: checking it derives a key from the header's own count.
#include "headerroundtrip.h"

#include "filecontainer/version2/header.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    ZRV::Fuzz::checkHeaderRoundTrip<ZRV::Stream::FileContainer::V2::Header>(data, size);
    return 0;
}
