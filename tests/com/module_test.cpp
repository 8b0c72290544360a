// Module handles and GetModuleFileNameA.
#include <gnu/libc-version.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "com/module.h"
#include "win32/libloaderapi.h"
#include "win32/winbase.h"

namespace vlt::test {
namespace {

int someFunctionOfThisProgram() { return 42; }
int someVariableOfThisProgram = 7;

std::string programPath() {
    char buf[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", buf, sizeof buf);
    return n > 0 ? std::string(buf, static_cast<std::size_t>(n)) : std::string();
}

TEST(ModuleHandle, CodeAndDataOfOneObjectShareOneHandle) {
    const HMODULE byCode = com::moduleHandleOf(reinterpret_cast<const void*>(&someFunctionOfThisProgram));
    ASSERT_NE(byCode, nullptr);
    EXPECT_EQ(com::moduleHandleOf(&someVariableOfThisProgram), byCode);
    EXPECT_NE(com::moduleHandleOf(reinterpret_cast<const void*>(&gnu_get_libc_version)), byCode)
        << "the C library is another";
    EXPECT_EQ(com::moduleHandleOf(nullptr), nullptr);
    EXPECT_EQ(someFunctionOfThisProgram() + someVariableOfThisProgram, 49);
}

TEST(ModuleFileName, TheProgramByHandleOrByNull) {
    char name[PATH_MAX];
    const HMODULE self = com::moduleHandleOf(reinterpret_cast<const void*>(&someFunctionOfThisProgram));
    const DWORD n = GetModuleFileNameA(self, name, sizeof name);
    EXPECT_EQ(std::string(name), programPath());
    EXPECT_EQ(n, programPath().size());
    EXPECT_EQ(GetModuleFileNameA(nullptr, name, sizeof name), n);
    EXPECT_EQ(std::string(name), programPath());

    const HMODULE libc = com::moduleHandleOf(reinterpret_cast<const void*>(&gnu_get_libc_version));
    ASSERT_GT(GetModuleFileNameA(libc, name, sizeof name), 0u);
    EXPECT_NE(std::string(name).find("libc"), std::string::npos) << name;
}

TEST(ModuleFileName, ShortBufferIsCutAndTerminated) {
    const std::string full = programPath();
    ASSERT_GT(full.size(), 5u);
    char name[6] = "zzzzz";
    SetLastError(0);
    EXPECT_EQ(GetModuleFileNameA(nullptr, name, sizeof name), static_cast<DWORD>(sizeof name));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(std::string(name), full.substr(0, 5));
}

TEST(ModuleFileName, AddressesThatAreNotABaseAreNotModules) {
    const auto self = reinterpret_cast<const char*>(
        com::moduleHandleOf(reinterpret_cast<const void*>(&someFunctionOfThisProgram)));
    char name[PATH_MAX] = "unchanged";
    SetLastError(0);
    EXPECT_EQ(GetModuleFileNameA(reinterpret_cast<HMODULE>(const_cast<char*>(self + 16)), name, sizeof name), 0u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
    EXPECT_STREQ(name, "unchanged");
}

}  // namespace
}  // namespace vlt::test
