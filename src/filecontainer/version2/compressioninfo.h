#pragma once

#include "filecontainer/version1/compressioninfo.h"
#include "zrvstreams_export.h"

namespace ZRV::Stream::FileContainer::V2 {

// The version 2 compression record is the version 1 record.
class ZRVSTREAMS_EXPORT CompressionInfo : public V1::CompressionInfo
{
};

} // namespace ZRV::Stream::FileContainer::V2
