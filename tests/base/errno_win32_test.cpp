// The one mapping from the C library's errno to Win32 codes.
#include <gtest/gtest.h>

#include <cstring>

#include "base/errno_win32.h"
#include "win32/winerror.h"

namespace vlt::base {
namespace {

TEST(ErrnoWin32, EachConditionGetsTheCodeWindowsGives) {
    const struct {
        int error;
        DWORD code;
    } cases[] = {
        {ENOENT, ERROR_FILE_NOT_FOUND},     {ENOTDIR, ERROR_PATH_NOT_FOUND},
        {ENAMETOOLONG, ERROR_FILENAME_EXCED_RANGE}, {EACCES, ERROR_ACCESS_DENIED},
        {EPERM, ERROR_ACCESS_DENIED},       {EISDIR, ERROR_ACCESS_DENIED},
        {EEXIST, ERROR_FILE_EXISTS},        {ENOSPC, ERROR_DISK_FULL},
        {EDQUOT, ERROR_DISK_QUOTA_EXCEEDED}, {EROFS, ERROR_WRITE_PROTECT},
        {EMFILE, ERROR_TOO_MANY_OPEN_FILES}, {ENFILE, ERROR_TOO_MANY_OPEN_FILES},
        {ENOMEM, ERROR_NOT_ENOUGH_MEMORY},  {EIO, ERROR_IO_DEVICE},
        {EXDEV, ERROR_NOT_SAME_DEVICE},     {ELOOP, ERROR_CANT_RESOLVE_FILENAME},
        {EINVAL, ERROR_INVALID_PARAMETER},  {EPROTO, ERROR_GEN_FAILURE},
        {0, ERROR_SUCCESS},
    };
    for (const auto& c : cases) EXPECT_EQ(win32FromErrno(c.error), c.code) << std::strerror(c.error);
}

TEST(ErrnoWin32, AnErrorKeepsTheSystemTextAndStoresTheWin32Code) {
    const Error e = errnoError("cannot create /x", EACCES);
    EXPECT_EQ(e.code, static_cast<std::uint32_t>(ERROR_ACCESS_DENIED));  // not 13, the errno
    EXPECT_EQ(e.message, std::string("cannot create /x: ") + std::strerror(EACCES));
}

}  // namespace
}  // namespace vlt::base
