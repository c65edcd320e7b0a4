// Reads arbitrary bytes as a version 1 container header (V1::Header and its records).
#include "headerroundtrip.h"

#include "filecontainer/version1/header.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    ZRV::Fuzz::checkHeaderRoundTrip<ZRV::Stream::FileContainer::V1::Header>(data, size);
    return 0;
}
