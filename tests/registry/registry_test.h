// Shared by the registry tests: a sandbox per test, with the hives forgotten before and after.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "registry/hives.h"
#include "support/sandbox.h"
#include "win32/winreg.h"

namespace vlt::test {

class RegistryTest : public ::testing::Test {
protected:
    void SetUp() override { registry::resetHives(); }
    void TearDown() override { registry::resetHives(); }

    Sandbox sandbox;

public:
    // Creates (or opens) a key with full access; fails the test when that is refused.
    static HKEY create(HKEY root, const std::string& path, DWORD* disposition = nullptr) {
        HKEY key = nullptr;
        const LONG rc = RegCreateKeyExA(root, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                                        nullptr, &key, disposition);
        EXPECT_EQ(rc, ERROR_SUCCESS) << path;
        return key;
    }

    static LONG set(HKEY key, const char* name, DWORD type, const std::string& data) {
        return RegSetValueExA(key, name, 0, type, reinterpret_cast<const BYTE*>(data.data()),
                              static_cast<DWORD>(data.size()));
    }

    // The whole value, through a size query first; rc receives the first failure.
    static std::string get(HKEY key, const char* name, LONG* rc = nullptr, DWORD* type = nullptr) {
        DWORD size = 0;
        LONG r = RegQueryValueExA(key, name, nullptr, type, nullptr, &size);
        std::string data(size, '\0');
        if (r == ERROR_SUCCESS)
            r = RegQueryValueExA(key, name, nullptr, type, reinterpret_cast<BYTE*>(data.data()), &size);
        if (rc) *rc = r;
        if (r != ERROR_SUCCESS) return {};
        data.resize(size);
        return data;
    }

    // Value names in enumeration order.
    static std::vector<std::string> valueNames(HKEY key) {
        std::vector<std::string> out;
        for (DWORD i = 0;; ++i) {
            char name[512];
            DWORD size = sizeof name;
            const LONG rc = RegEnumValueA(key, i, name, &size, nullptr, nullptr, nullptr, nullptr);
            if (rc != ERROR_SUCCESS) {
                EXPECT_EQ(rc, ERROR_NO_MORE_ITEMS);
                break;
            }
            out.emplace_back(name, size);
        }
        return out;
    }

    static std::vector<std::string> subkeyNames(HKEY key) {
        std::vector<std::string> out;
        for (DWORD i = 0;; ++i) {
            char name[256];
            DWORD size = sizeof name;
            const LONG rc = RegEnumKeyExA(key, i, name, &size, nullptr, nullptr, nullptr, nullptr);
            if (rc != ERROR_SUCCESS) {
                EXPECT_EQ(rc, ERROR_NO_MORE_ITEMS);
                break;
            }
            out.emplace_back(name, size);
        }
        return out;
    }

    // Whether any regular file below dir contains needle.
    static bool anyFileContains(const std::string& dir, const std::string& needle) {
        for (const auto& f : listFiles(dir)) {
            const auto bytes = readFile(f);
            const std::string text(bytes.begin(), bytes.end());
            if (text.find(needle) != std::string::npos) return true;
        }
        return false;
    }
};

}  // namespace vlt::test
