// A small in-process server for the COM tests, loaded with dlopen as a shell host loads an
// extension. It registers itself the way the suite's extension does (StringFromIID, the task
// allocator, GetModuleFileNameA, HKEY_CLASSES_ROOT) and serves one class with two interfaces
// on one object.
#include <algorithm>
#include <atomic>
#include <cstring>
#include <string>
#include <vector>

#include "com/inproc.h"
#include "com/module.h"
#include "win32/libloaderapi.h"
#include "win32/objbase.h"
#include "win32/shellapi.h"
#include "win32/shlobj.h"
#include "win32/winreg.h"

namespace {

// {3F2C6A10-5B7E-4C21-9D0A-6E4B8F1C2D35}
const CLSID kClsid = {0x3F2C6A10, 0x5B7E, 0x4C21, {0x9D, 0x0A, 0x6E, 0x4B, 0x8F, 0x1C, 0x2D, 0x35}};

std::atomic<long> g_objects{0};

class Handler final : public IContextMenu, public IShellExtInit {
public:
    Handler() { ++g_objects; }

    HRESULT QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IShellExtInit)) {
            *ppv = static_cast<IShellExtInit*>(this);
        } else if (IsEqualIID(riid, IID_IContextMenu)) {
            *ppv = static_cast<IContextMenu*>(this);
        } else {
            *ppv = nullptr;
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    ULONG AddRef() override { return ++m_refs; }
    ULONG Release() override {
        const ULONG left = --m_refs;
        if (left == 0) delete this;
        return left;
    }

    HRESULT Initialize(LPCITEMIDLIST, IDataObject* data, HKEY) override {
        m_selection.clear();
        if (!data) return S_OK;
        FORMATETC format = {CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
        STGMEDIUM medium{};
        if (FAILED(data->GetData(&format, &medium)) || !medium.hGlobal) return S_OK;
        const auto drop = reinterpret_cast<HDROP>(medium.hGlobal);
        const UINT count = DragQueryFileA(drop, 0xFFFFFFFF, nullptr, 0);
        for (UINT i = count; i-- > 0;) {
            char path[MAX_PATH];
            DragQueryFileA(drop, i, path, MAX_PATH);
            m_selection.emplace_back(path);
        }
        ReleaseStgMedium(&medium);
        return S_OK;
    }

    HRESULT QueryContextMenu(HMENU, UINT, UINT idCmdFirst, UINT idCmdLast, UINT uFlags) override {
        m_lastFlags = uFlags;
        const UINT claimed = idCmdLast >= idCmdFirst ? 3 : 0;
        return MAKE_HRESULT(SEVERITY_SUCCESS, 0, claimed);
    }
    HRESULT InvokeCommand(CMINVOKECOMMANDINFO* info) override {
        if (!info || HIWORD(reinterpret_cast<ULONG_PTR>(info->lpVerb)) != 0) return E_INVALIDARG;
        m_lastVerb = LOWORD(reinterpret_cast<ULONG_PTR>(info->lpVerb));
        return S_OK;
    }
    // Commands 0 to 2 have help texts; 100 + i reads entry i of the selection (for the tests).
    HRESULT GetCommandString(UINT_PTR idCmd, UINT, UINT*, CHAR* name, UINT cchMax) override {
        std::string text;
        if (idCmd < 3) text = "Help for command " + std::to_string(idCmd);
        else if (idCmd == 99) text = "invoked " + std::to_string(m_lastVerb) + " flags " + std::to_string(m_lastFlags);
        else if (idCmd >= 100 && idCmd - 100 < m_selection.size()) text = m_selection[idCmd - 100];
        else return E_INVALIDARG;
        if (cchMax == 0) return E_INVALIDARG;
        const std::size_t n = std::min<std::size_t>(text.size(), cchMax - 1);
        std::memcpy(name, text.data(), n);
        name[n] = '\0';
        return S_OK;
    }

private:
    ~Handler() { --g_objects; }

    std::atomic<ULONG> m_refs{0};
    std::vector<std::string> m_selection;
    UINT m_lastFlags = 0;
    int m_lastVerb = -1;
};

class Factory final : public IClassFactory {
public:
    Factory() { ++g_objects; }
    HRESULT QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IClassFactory)) {
            *ppv = static_cast<IClassFactory*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG AddRef() override { return ++m_refs; }
    ULONG Release() override {
        const ULONG left = --m_refs;
        if (left == 0) delete this;
        return left;
    }
    HRESULT CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        *ppv = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        auto* handler = new Handler;
        handler->AddRef();
        const HRESULT hr = handler->QueryInterface(riid, ppv);
        handler->Release();
        return hr;
    }
    HRESULT LockServer(BOOL) override { return S_OK; }

private:
    ~Factory() { --g_objects; }
    std::atomic<ULONG> m_refs{0};
};

bool setString(const std::string& path, const char* name, const std::string& value) {
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CLASSES_ROOT, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
        return false;
    RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                   static_cast<DWORD>(value.size() + 1));
    RegCloseKey(key);
    return true;
}

}  // namespace

extern "C" {

HRESULT DllGetClassObject(REFCLSID rclsid, REFIID riid, LPVOID* ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (!IsEqualCLSID(rclsid, kClsid)) return CLASS_E_CLASSNOTAVAILABLE;
    auto* factory = new Factory;
    factory->AddRef();
    const HRESULT hr = factory->QueryInterface(riid, ppv);
    factory->Release();
    return hr;
}

HRESULT DllCanUnloadNow() { return S_FALSE; }

HRESULT DllRegisterServer() {
    LPOLESTR wide = nullptr;
    if (FAILED(StringFromIID(kClsid, &wide))) return SELFREG_E_CLASS;
    char clsid[MAX_PATH];
    const int n = WideCharToMultiByte(CP_ACP, 0, wide, -1, clsid, MAX_PATH, nullptr, nullptr);
    IMalloc* malloc = nullptr;
    if (SUCCEEDED(CoGetMalloc(1, &malloc))) {
        malloc->Free(wide);
        malloc->Release();
    }
    if (n == 0) return SELFREG_E_CLASS;
    char module[MAX_PATH];
    if (GetModuleFileNameA(vlt::com::moduleHandleOf(reinterpret_cast<const void*>(&DllRegisterServer)), module,
                           MAX_PATH) == 0)
        return SELFREG_E_CLASS;
    const std::string key = std::string("CLSID\\") + clsid;
    if (!setString(key, nullptr, "Test Extension")) return SELFREG_E_CLASS;
    if (!setString(key + "\\InprocServer32", nullptr, module)) return SELFREG_E_CLASS;
    if (!setString(key + "\\InprocServer32", "ThreadingModel", "Apartment")) return SELFREG_E_CLASS;
    return S_OK;
}

HRESULT DllUnregisterServer() {
    const std::string key = "CLSID\\" + vlt::com::guidText(kClsid);
    RegDeleteKeyA(HKEY_CLASSES_ROOT, (key + "\\InprocServer32").c_str());
    RegDeleteKeyA(HKEY_CLASSES_ROOT, key.c_str());
    return S_OK;
}

// For the tests: the number of live objects.
long TestServerLiveObjects() { return g_objects.load(); }

}  // extern "C"
