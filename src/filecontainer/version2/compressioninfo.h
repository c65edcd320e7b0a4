#pragma once

#include "filecontainer/version1/compressioninfo.h"

namespace ZRV::Stream::FileContainer::V2 {

// The version 2 compression record is the version 1 record.
class CompressionInfo : public V1::CompressionInfo
{
};

} // namespace ZRV::Stream::FileContainer::V2
