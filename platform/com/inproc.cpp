#include "com/inproc.h"

#include <dlfcn.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>

#include "base/paths.h"
#include "com/module.h"
#include "win32/winreg.h"

namespace vlt::com {
namespace {

std::mutex g_mutex;
// Loaded libraries by path; never unloaded.
std::map<std::string, std::unique_ptr<InprocServer>>& loaded() {
    static auto* servers = new std::map<std::string, std::unique_ptr<InprocServer>>;
    return *servers;
}

// %NAME% from the environment; unknown names stay as written, as ExpandEnvironmentStrings does.
std::string expand(const std::string& text) {
    std::string out;
    std::size_t i = 0;
    while (i < text.size()) {
        const auto open = text.find('%', i);
        const auto close = open == std::string::npos ? std::string::npos : text.find('%', open + 1);
        if (close == std::string::npos) {
            out.append(text, i, std::string::npos);
            break;
        }
        out.append(text, i, open - i);
        const std::string name = text.substr(open + 1, close - open - 1);
        const char* value = name.empty() ? nullptr : std::getenv(name.c_str());
        if (value) {
            out += value;
            i = close + 1;
        } else {
            out += '%';
            i = open + 1;
        }
    }
    return out;
}

void* symbol(void* library, const char* name) {
    dlerror();
    return dlsym(library, name);
}

template <typename Fn>
Fn as(void* p) {
    Fn fn = nullptr;
    static_assert(sizeof fn == sizeof p);
    std::memcpy(&fn, &p, sizeof fn);
    return fn;
}

}  // namespace

std::string guidText(REFGUID guid) {
    OLECHAR wide[40];
    if (StringFromGUID2(guid, wide, 40) == 0) return {};
    std::string out;
    for (int i = 0; wide[i] != 0; ++i) out.push_back(static_cast<char>(wide[i]));
    return out;
}

Result<const InprocServer*> InprocServer::load(const std::string& path) {
    std::lock_guard lock(g_mutex);
    auto& servers = loaded();
    if (auto it = servers.find(path); it != servers.end()) return static_cast<const InprocServer*>(it->second.get());

    void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!library) {
        const char* text = dlerror();
        return fail(std::string("cannot load ") + path + ": " + (text ? text : "unknown error"),
                    static_cast<std::uint32_t>(CO_E_DLLNOTFOUND));
    }
    auto server = std::make_unique<InprocServer>();
    server->path = path;
    void* getClassObject = symbol(library, "DllGetClassObject");
    if (!getClassObject) {
        // The library stays mapped (as every library we load does); it is simply not a server.
        return fail(path + " does not export DllGetClassObject", static_cast<std::uint32_t>(CO_E_ERRORINDLL));
    }
    server->getClassObject = as<LPFNGETCLASSOBJECT>(getClassObject);
    server->canUnloadNow = as<LPFNCANUNLOADNOW>(symbol(library, "DllCanUnloadNow"));
    server->registerServer = as<LPFNREGISTERSERVER>(symbol(library, "DllRegisterServer"));
    server->unregisterServer = as<LPFNREGISTERSERVER>(symbol(library, "DllUnregisterServer"));
    server->module = moduleHandleOf(getClassObject);
    const InprocServer* result = server.get();
    servers.emplace(path, std::move(server));
    return result;
}

Result<std::string> InprocServer::registeredPath(REFCLSID clsid) {
    const std::string keyPath = "CLSID\\" + guidText(clsid) + "\\InprocServer32";
    const auto notRegistered = [&](const std::string& why) {
        return fail(guidText(clsid) + " " + why, static_cast<std::uint32_t>(REGDB_E_CLASSNOTREG));
    };
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, keyPath.c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return notRegistered("is not registered as an in-process server");
    DWORD type = 0;
    DWORD size = 0;
    LONG rc = RegQueryValueExA(key, nullptr, nullptr, &type, nullptr, &size);
    std::string value(size, '\0');
    if (rc == ERROR_SUCCESS && size > 0)
        rc = RegQueryValueExA(key, nullptr, nullptr, &type, reinterpret_cast<BYTE*>(value.data()), &size);
    RegCloseKey(key);
    if (rc != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ))
        return notRegistered("has no library path in InprocServer32");
    value.resize(std::min<std::size_t>(size, value.size()));
    while (!value.empty() && value.back() == '\0') value.pop_back();
    if (type == REG_EXPAND_SZ) value = expand(value);
    if (value.empty()) return notRegistered("has an empty library path in InprocServer32");
    return base::pluginPath(value);
}

HRESULT getClassObject(REFCLSID clsid, REFIID riid, void** ppv, std::string* why) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    const auto failed = [&](const Error& e) {
        if (why) *why = e.message;
        return static_cast<HRESULT>(e.code);
    };
    auto path = InprocServer::registeredPath(clsid);
    if (!path) return failed(path.error());
    auto server = InprocServer::load(*path);
    if (!server) return failed(server.error());
    const HRESULT hr = (*server)->getClassObject(clsid, riid, ppv);
    if (FAILED(hr) && why) *why = *path + ": DllGetClassObject failed";
    return hr;
}

HRESULT createInstance(REFCLSID clsid, REFIID riid, void** ppv, std::string* why) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    IClassFactory* factory = nullptr;
    HRESULT hr = getClassObject(clsid, IID_IClassFactory, reinterpret_cast<void**>(&factory), why);
    if (FAILED(hr)) return hr;
    if (!factory) return E_UNEXPECTED;
    hr = factory->CreateInstance(nullptr, riid, ppv);
    factory->Release();
    if (FAILED(hr) && why) *why = "the class factory refused to create the object";
    return hr;
}

}  // namespace vlt::com

HRESULT CoGetClassObject(REFCLSID rclsid, DWORD dwClsContext, LPVOID, REFIID riid, LPVOID* ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if ((dwClsContext & CLSCTX_INPROC_SERVER) == 0) return REGDB_E_CLASSNOTREG;
    return vlt::com::getClassObject(rclsid, riid, ppv);
}

HRESULT CoCreateInstance(REFCLSID rclsid, LPUNKNOWN pUnkOuter, DWORD dwClsContext, REFIID riid, LPVOID* ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if ((dwClsContext & CLSCTX_INPROC_SERVER) == 0) return REGDB_E_CLASSNOTREG;
    IClassFactory* factory = nullptr;
    HRESULT hr = vlt::com::getClassObject(rclsid, IID_IClassFactory, reinterpret_cast<void**>(&factory));
    if (FAILED(hr)) return hr;
    if (!factory) return E_UNEXPECTED;
    hr = factory->CreateInstance(pUnkOuter, riid, ppv);
    factory->Release();
    return hr;
}
