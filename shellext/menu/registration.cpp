#include "shellext/menu/registration.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "shellext/menu/context_menu.h"
#include "win32/libloaderapi.h"
#include "win32/objbase.h"
#include "win32/winreg.h"

namespace vlt::shellext {
namespace {

constexpr const char* kClassKeyName = "{87b9bd00-c65c-11cd-a259-00dd010e8c28}";

// Creates a key under HKEY_CLASSES_ROOT and sets one string value; false when the key cannot
// be created.
bool writeRow(const std::string& key, const char* valueName, const std::string& data) {
    HKEY h = nullptr;
    if (RegCreateKeyExA(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr, &h,
                        nullptr) != ERROR_SUCCESS)
        return false;
    RegSetValueExA(h, valueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                   static_cast<DWORD>(data.size() + 1));
    RegCloseKey(h);
    return true;
}

void deleteSubkey(HKEY root, const char* parent, const char* child) {
    HKEY h = nullptr;
    if (RegOpenKeyExA(root, parent, 0, KEY_ALL_ACCESS, &h) != ERROR_SUCCESS) return;
    RegDeleteKeyA(h, child);
    RegCloseKey(h);
}

}  // namespace

HRESULT registerServer(HINSTANCE module) {
    LPOLESTR wide = nullptr;
    if (FAILED(StringFromIID(CLSID_VaultineExtension, &wide))) return SELFREG_E_CLASS;
    char clsid[MAX_PATH] = {};
    const int converted = WideCharToMultiByte(CP_ACP, 0, wide, -1, clsid, MAX_PATH, nullptr, nullptr);
    LPMALLOC malloc = nullptr;
    if (SUCCEEDED(CoGetMalloc(1, &malloc))) {
        malloc->Free(wide);
        malloc->Release();
    }
    if (converted == 0) return SELFREG_E_CLASS;

    char path[MAX_PATH] = {};
    GetModuleFileNameA(module, path, MAX_PATH);

    const std::string classKey = std::string("CLSID\\") + clsid;
    if (!writeRow(classKey, nullptr, "VaultineExtension")) return SELFREG_E_CLASS;
    if (!writeRow(classKey + "\\InprocServer32", nullptr, path)) return SELFREG_E_CLASS;
    if (!writeRow(classKey + "\\InprocServer32", "ThreadingModel", "Apartment")) return SELFREG_E_CLASS;
    if (!writeRow("*\\shellex\\ContextMenuHandlers\\Vaultine", nullptr, clsid)) return SELFREG_E_CLASS;

    HKEY type = nullptr;
    if (RegCreateKeyExA(HKEY_CLASSES_ROOT, "Vtffile", 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr, &type,
                        nullptr) != ERROR_SUCCESS)
        return SELFREG_E_CLASS;
    const char* description = "Vaultine File";
    RegSetValueExA(type, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(description),
                   static_cast<DWORD>(std::strlen(description) + 1));
    const BYTE editFlags[4] = {0, 0, 0, 0};
    RegSetValueExA(type, "EditFlags", 0, REG_BINARY, editFlags, sizeof editFlags);
    RegCloseKey(type);
    writeRow("Vtffile\\DefaultIcon", nullptr, std::string(path) + ",0");
    HKEY shell = nullptr;
    if (RegCreateKeyExA(HKEY_CLASSES_ROOT, "Vtffile\\Shell", 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr,
                        &shell, nullptr) == ERROR_SUCCESS)
        RegCloseKey(shell);
    writeRow(".Vtf", nullptr, "Vtffile");
    return S_OK;
}

HRESULT unregisterServer() {
    const std::string classKey = std::string("Software\\Classes\\CLSID\\") + kClassKeyName;
    deleteSubkey(HKEY_LOCAL_MACHINE, classKey.c_str(), "InprocServer32");
    deleteSubkey(HKEY_LOCAL_MACHINE, "Software\\Classes\\CLSID", kClassKeyName);
    deleteSubkey(HKEY_CLASSES_ROOT, "*\\shellex\\ContextMenuHandlers", "Vaultine");
    RegDeleteKeyA(HKEY_CLASSES_ROOT, ".vtf");
    HKEY type = nullptr;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, "Vtffile", 0, KEY_ALL_ACCESS, &type) == ERROR_SUCCESS) {
        RegDeleteKeyA(type, "DefaultIcon");
        RegDeleteKeyA(type, "Shell");
        RegCloseKey(type);
    }
    RegDeleteKeyA(HKEY_CLASSES_ROOT, "Vtffile");
    return S_OK;
}

}  // namespace vlt::shellext
