// Helpers for the foundation's tests: a sandboxed registry per test, direct registry access
// that does not go through the code under test, and a front end that records message boxes.
#pragma once

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "registry/hives.h"
#include "support/sandbox.h"
#include "ui/frontend.h"
#include "win32/winreg.h"

namespace vlt::test {

using Bytes = std::vector<unsigned char>;

// Each test gets its own VLT_HOME, VLT_MACHINE_DIR and VLT_RUNTIME_DIR.
class RegistrySandboxTest : public ::testing::Test {
protected:
    RegistrySandboxTest() { registry::resetHives(); }
    ~RegistrySandboxTest() override { registry::resetHives(); }

    Sandbox sandbox;
};

inline LONG putBinary(HKEY root, const char* path, const char* name, const Bytes& data) {
    HKEY key = nullptr;
    LONG r = RegCreateKeyExA(root, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
    if (r != ERROR_SUCCESS) return r;
    static const BYTE none = 0;
    r = RegSetValueExA(key, name, 0, REG_BINARY, data.empty() ? &none : data.data(), static_cast<DWORD>(data.size()));
    RegCloseKey(key);
    return r;
}

inline LONG putDword(HKEY root, const char* path, const char* name, DWORD value) {
    HKEY key = nullptr;
    LONG r = RegCreateKeyExA(root, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
    if (r != ERROR_SUCCESS) return r;
    r = RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
    RegCloseKey(key);
    return r;
}

inline std::optional<Bytes> getValue(HKEY root, const char* path, const char* name) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return std::nullopt;
    DWORD size = 0;
    std::optional<Bytes> out;
    if (RegQueryValueExA(key, name, nullptr, nullptr, nullptr, &size) == ERROR_SUCCESS) {
        Bytes data(size + 1);
        if (RegQueryValueExA(key, name, nullptr, nullptr, data.data(), &size) == ERROR_SUCCESS) {
            data.resize(size);
            out = std::move(data);
        }
    }
    RegCloseKey(key);
    return out;
}

inline std::optional<DWORD> getDword(HKEY root, const char* path, const char* name) {
    auto v = getValue(root, path, name);
    if (!v || v->size() != 4) return std::nullopt;
    return static_cast<DWORD>((*v)[0] | (*v)[1] << 8 | (*v)[2] << 16 | static_cast<DWORD>((*v)[3]) << 24);
}

// Names of the values of a key, in enumeration order.
inline std::vector<std::string> valueNames(HKEY root, const char* path) {
    std::vector<std::string> names;
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return names;
    for (DWORD i = 0;; ++i) {
        char name[512];
        DWORD size = sizeof name;
        if (RegEnumValueA(key, i, name, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        names.emplace_back(name, size);
    }
    RegCloseKey(key);
    return names;
}

class RecordingFrontend final : public ui::Frontend {
public:
    RecordingFrontend() { ui::setFrontend(this); }
    ~RecordingFrontend() override { ui::setFrontend(nullptr); }
    RecordingFrontend(const RecordingFrontend&) = delete;
    RecordingFrontend& operator=(const RecordingFrontend&) = delete;

    int messageBox(const ui::MessageBoxRequest& request) override {
        boxes.push_back(request);
        return ui::defaultButton(request.style);
    }
    ui::FileDialogAnswer saveDialog(const ui::FileDialogRequest&) override { return {}; }

    std::vector<ui::MessageBoxRequest> boxes;
};

}  // namespace vlt::test
