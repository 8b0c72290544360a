// Shared by the shell tests: a sandbox with fresh hives and a system directory of its own.
#pragma once

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "registry/hives.h"
#include "support/sandbox.h"
#include "win32/winreg.h"

namespace vlt::test {

class ShellTest : public ::testing::Test {
protected:
    void SetUp() override {
        registry::resetHives();
        const char* old = std::getenv("VLT_SYSTEM_DIR");
        m_savedSystemDir = old ? old : "\1";
        ASSERT_EQ(mkdir(systemDir().c_str(), 0755), 0);
        setenv("VLT_SYSTEM_DIR", systemDir().c_str(), 1);
    }
    void TearDown() override {
        if (m_savedSystemDir == "\1") unsetenv("VLT_SYSTEM_DIR");
        else setenv("VLT_SYSTEM_DIR", m_savedSystemDir.c_str(), 1);
        registry::resetHives();
    }

    std::string systemDir() const { return sandbox.path("system"); }

    // A program: an executable shell script.
    static void makeProgram(const std::string& path, const std::string& body = "exit 0\n") {
        writeFile(path, "#!/bin/sh\n" + body);
        ASSERT_EQ(chmod(path.c_str(), 0755), 0);
    }

    static void setAnsiCodePage(const char* page) {
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Control\\Nls\\CodePage", 0, nullptr,
                                  REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        ASSERT_EQ(RegSetValueExA(key, "ACP", 0, REG_SZ, reinterpret_cast<const BYTE*>(page),
                                 static_cast<DWORD>(std::strlen(page) + 1)),
                  ERROR_SUCCESS);
        RegCloseKey(key);
    }

    Sandbox sandbox;

private:
    std::string m_savedSystemDir;
};

}  // namespace vlt::test
