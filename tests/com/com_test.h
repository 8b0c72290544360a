// Shared by the COM tests: a sandbox with fresh hives, and small helpers.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "registry/hives.h"
#include "support/sandbox.h"
#include "win32/objbase.h"
#include "win32/winreg.h"

namespace vlt::test {

class ComTest : public ::testing::Test {
protected:
    void SetUp() override { registry::resetHives(); }
    void TearDown() override { registry::resetHives(); }

    Sandbox sandbox;

public:
    static void setString(HKEY root, const std::string& path, const char* name, const std::string& value,
                          DWORD type = REG_SZ) {
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExA(root, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr,
                                  &key, nullptr),
                  ERROR_SUCCESS)
            << path;
        ASSERT_EQ(RegSetValueExA(key, name, 0, type, reinterpret_cast<const BYTE*>(value.c_str()),
                                 static_cast<DWORD>(value.size() + 1)),
                  ERROR_SUCCESS);
        RegCloseKey(key);
    }

    static std::string getString(HKEY root, const std::string& path, const char* name) {
        HKEY key = nullptr;
        if (RegOpenKeyExA(root, path.c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return "<no key>";
        char buf[1024] = {};
        DWORD size = sizeof buf - 1;
        const LONG rc = RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(buf), &size);
        RegCloseKey(key);
        return rc == ERROR_SUCCESS ? std::string(buf) : "<no value>";
    }
};

inline std::u16string wide(const char* ascii) {
    std::u16string out;
    for (; *ascii; ++ascii) out.push_back(static_cast<char16_t>(*ascii));
    return out;
}

}  // namespace vlt::test
