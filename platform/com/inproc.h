// In-process servers as the Windows shell uses them: the library registered under
// HKEY_CLASSES_ROOT\CLSID\{...}\InprocServer32 (default value) is loaded with dlopen
// (RTLD_NOW | RTLD_LOCAL) and its exports are found by name. A loaded library stays loaded
// until the process ends; DllCanUnloadNow is resolved but never acted on.
//
// A bare file name registered is looked for in the system directory; a full path is used as it
// is, except that a program run from its build tree (or with $VLT_SYSTEM_DIR) prefers the
// plug-in of the same name there (base::pluginPath). REG_EXPAND_SZ values have %NAME% replaced
// from the environment.
#pragma once

#include <string>

#include "base/export.h"
#include "base/result.h"
#include "win32/objbase.h"
#include "win32/winuser.h"

VLT_EXPORT_BEGIN

namespace vlt::com {

struct InprocServer {
    std::string path;          // as loaded
    HMODULE module = nullptr;  // base address; GetModuleFileNameA(module) gives its path
    LPFNGETCLASSOBJECT getClassObject = nullptr;    // DllGetClassObject (required)
    LPFNCANUNLOADNOW canUnloadNow = nullptr;        // DllCanUnloadNow (may be missing)
    LPFNREGISTERSERVER registerServer = nullptr;    // DllRegisterServer (may be missing)
    LPFNREGISTERSERVER unregisterServer = nullptr;  // DllUnregisterServer (may be missing)

    // Loads the library once per process; later calls for the same path return the same
    // record. Errors: CO_E_DLLNOTFOUND with dlerror's text when dlopen fails; CO_E_ERRORINDLL
    // when DllGetClassObject is not exported.
    static Result<const InprocServer*> load(const std::string& path);

    // The library to load for the class (see above). REGDB_E_CLASSNOTREG when the class, its
    // InprocServer32 key or its default value (a non-empty string) is missing.
    static Result<std::string> registeredPath(REFCLSID clsid);
};

// CoGetClassObject for in-process servers: finds, loads and asks the library. *ppv is cleared
// first. The HRESULT of a failed step (see above), or whatever DllGetClassObject returns.
// `why`, when given, receives a readable reason for a failure (dlerror's text included).
HRESULT getClassObject(REFCLSID clsid, REFIID riid, void** ppv, std::string* why = nullptr);

// CoCreateInstance: the class factory's CreateInstance (no outer object) for riid; the factory
// is released afterwards.
HRESULT createInstance(REFCLSID clsid, REFIID riid, void** ppv, std::string* why = nullptr);

// "{XXXXXXXX-...}", upper case, as StringFromCLSID forms it.
std::string guidText(REFGUID guid);

}  // namespace vlt::com

VLT_EXPORT_END
