#pragma once

#include "zrvcore_export.h"

#include <QtGlobal>

namespace ZRV::Utility {

// Reserves `size` bytes on disk for the open file, so that a download cannot run out of space
// half way. Returns true on success; a size of 0 succeeds at once.
ZRVCORE_EXPORT bool preallocateFile(int fileDescriptor, quint64 size);

} // namespace ZRV::Utility
