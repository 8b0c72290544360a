// GetFileAttributesA as the context-menu handler uses it: directories are left out of the
// selection, unreadable names are kept.
#include <sys/stat.h>
#include <unistd.h>

#include "shell_test.h"
#include "win32/fileapi.h"
#include "win32/winbase.h"

namespace vlt::test {
namespace {

using FileAttributes = ShellTest;

TEST_F(FileAttributes, FilesFoldersAndReadOnlyFiles) {
    writeFile(sandbox.path("plain.txt"), std::string("x"));
    EXPECT_EQ(GetFileAttributesA(sandbox.path("plain.txt").c_str()), static_cast<DWORD>(FILE_ATTRIBUTE_NORMAL));
    EXPECT_EQ(GetFileAttributesA(sandbox.files().c_str()), static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));

    writeFile(sandbox.path("locked.vtf"), std::string("x"));
    ASSERT_EQ(chmod(sandbox.path("locked.vtf").c_str(), 0444), 0);
    EXPECT_EQ(GetFileAttributesA(sandbox.path("locked.vtf").c_str()), static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));

    // A folder whose name looks like a locked file is still a folder.
    ASSERT_EQ(mkdir(sandbox.path("archive.Vtf").c_str(), 0700), 0);
    EXPECT_TRUE(GetFileAttributesA(sandbox.path("archive.Vtf").c_str()) & FILE_ATTRIBUTE_DIRECTORY);
}

TEST_F(FileAttributes, SymbolicLinksAreFollowedAndMarked) {
    ASSERT_EQ(symlink(sandbox.files().c_str(), sandbox.path("to-folder").c_str()), 0);
    EXPECT_EQ(GetFileAttributesA(sandbox.path("to-folder").c_str()),
              static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT));
    ASSERT_EQ(symlink(sandbox.path("nowhere").c_str(), sandbox.path("dangling").c_str()), 0);
    EXPECT_EQ(GetFileAttributesA(sandbox.path("dangling").c_str()), static_cast<DWORD>(FILE_ATTRIBUTE_REPARSE_POINT));
}

TEST_F(FileAttributes, MissingNamesAndFoldersAreTold) {
    SetLastError(0);
    EXPECT_EQ(GetFileAttributesA(sandbox.path("missing.txt").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(GetFileAttributesA(sandbox.path("no-folder/missing.txt").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
    writeFile(sandbox.path("file"), std::string("x"));
    EXPECT_EQ(GetFileAttributesA(sandbox.path("file/inside").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
    EXPECT_EQ(GetFileAttributesA(""), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetFileAttributesA(nullptr), INVALID_FILE_ATTRIBUTES);
}

}  // namespace
}  // namespace vlt::test
