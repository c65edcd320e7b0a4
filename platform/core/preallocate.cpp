#include "core/utility/preallocate.h"

#include <cerrno>
#include <fcntl.h>
#include <limits>
#include <sys/stat.h>
#include <unistd.h>

namespace ZRV::Utility {

bool preallocateFile(int fileDescriptor, quint64 size)
{
    if (size == 0)
        return true;
    if (size > quint64(std::numeric_limits<off_t>::max()))
        return false;
#if defined(__APPLE__)
    fstore_t store = {F_ALLOCATECONTIG, F_PEOFPOSMODE, 0, off_t(size), 0};
    if (fcntl(fileDescriptor, F_PREALLOCATE, &store) == -1) {
        store.fst_flags = F_ALLOCATEALL;
        if (fcntl(fileDescriptor, F_PREALLOCATE, &store) == -1)
            return false;
    }
    return ftruncate(fileDescriptor, off_t(size)) == 0;
#else
    const int result = posix_fallocate(fileDescriptor, 0, off_t(size));
    if (result == 0)
        return true;
    // File systems without allocation support still take a plain size change.
    if (result == EOPNOTSUPP || result == EINVAL)
        return ftruncate(fileDescriptor, off_t(size)) == 0;
    return false;
#endif
}

} // namespace ZRV::Utility
