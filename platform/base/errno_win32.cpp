#include "base/errno_win32.h"

#include <cstring>

#include "win32/winerror.h"

namespace vlt::base {

std::uint32_t win32FromErrno(int error) {
    switch (error) {
        case 0: return ERROR_SUCCESS;
        case ENOENT: return ERROR_FILE_NOT_FOUND;
        case ENOTDIR: return ERROR_PATH_NOT_FOUND;
        case ENAMETOOLONG: return ERROR_FILENAME_EXCED_RANGE;
        case EACCES:
        case EPERM:
        case EISDIR:  // Windows refuses to open a folder as a file with this code
            return ERROR_ACCESS_DENIED;
        case EEXIST: return ERROR_FILE_EXISTS;
        case ENOTEMPTY: return ERROR_DIR_NOT_EMPTY;
        case ENOSPC: return ERROR_DISK_FULL;
        case EDQUOT: return ERROR_DISK_QUOTA_EXCEEDED;
        case EFBIG: return ERROR_FILE_TOO_LARGE;
        case EROFS: return ERROR_WRITE_PROTECT;
        case EMFILE:
        case ENFILE: return ERROR_TOO_MANY_OPEN_FILES;
        case ENOMEM: return ERROR_NOT_ENOUGH_MEMORY;
        case EIO: return ERROR_IO_DEVICE;
        case EXDEV: return ERROR_NOT_SAME_DEVICE;
        case ETXTBSY: return ERROR_SHARING_VIOLATION;
        case EBUSY: return ERROR_BUSY;
        case ELOOP: return ERROR_CANT_RESOLVE_FILENAME;
        case EBADF: return ERROR_INVALID_HANDLE;
        case EINVAL: return ERROR_INVALID_PARAMETER;
        case EPIPE: return ERROR_BROKEN_PIPE;
        case ENOSYS:
        case EOPNOTSUPP: return ERROR_NOT_SUPPORTED;
        default: return ERROR_GEN_FAILURE;
    }
}

Error errnoError(const std::string& what, int error) {
    return Error{win32FromErrno(error), what + ": " + std::strerror(error)};
}

}  // namespace vlt::base
