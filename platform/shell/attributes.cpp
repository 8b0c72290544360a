// GetFileAttributesA over lstat and stat: the attributes the suite tests (directory, read-only).
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "base/errno_win32.h"
#include "win32/fileapi.h"
#include "win32/winbase.h"

namespace {

// ENOENT means a missing name when its folder exists, a missing path otherwise.
DWORD missingError(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos) return ERROR_FILE_NOT_FOUND;
    const std::string folder = slash == 0 ? "/" : path.substr(0, slash);
    struct stat st {};
    return stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode) ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND;
}

DWORD failWith(DWORD error) {
    SetLastError(error);
    return INVALID_FILE_ATTRIBUTES;
}

}  // namespace

DWORD GetFileAttributesA(LPCSTR lpFileName) {
    if (!lpFileName || !*lpFileName) return failWith(ERROR_PATH_NOT_FOUND);
    const std::string path(lpFileName);
    struct stat link {};
    if (lstat(path.c_str(), &link) != 0) {
        if (errno == ENOENT) return failWith(missingError(path));
        return failWith(vlt::base::win32FromErrno(errno));
    }
    DWORD attributes = 0;
    struct stat target = link;
    if (S_ISLNK(link.st_mode)) {
        attributes |= FILE_ATTRIBUTE_REPARSE_POINT;
        if (stat(path.c_str(), &target) != 0) return attributes;  // a dangling link is still a name
    }
    if (S_ISDIR(target.st_mode)) attributes |= FILE_ATTRIBUTE_DIRECTORY;
    // Read-only: no write permission for anyone, or none for this process.
    if ((target.st_mode & 0222) == 0 || access(path.c_str(), W_OK) != 0) attributes |= FILE_ATTRIBUTE_READONLY;
    return attributes ? attributes : FILE_ATTRIBUTE_NORMAL;
}
