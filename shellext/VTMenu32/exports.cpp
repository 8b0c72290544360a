// libVTMenu32.so: the shell extension as an in-process server. Exactly four exports; nothing
// thrown inside may cross them.
#include <atomic>
#include <new>

#include "base/export.h"
#include "shared/registry_layout.h"
#include "shellext/menu/context_menu.h"
#include "shellext/menu/dialogs.h"
#include "shellext/menu/registration.h"
#include "ui/resources.h"
#include "win32/objbase.h"

namespace {

std::atomic<HINSTANCE> g_module{nullptr};

// Runs when the library is loaded into a process, as DLL_PROCESS_ATTACH did: records the module
// and declares its resources and the volatile registry values it reads.
__attribute__((constructor)) void attach() {
    const HINSTANCE module = vlt::ui::moduleOf(reinterpret_cast<const void*>(&attach));
    g_module.store(module);
    vlt::shellext::registerDialogs(module);
    vlt::layout::declareVolatileValues();
}

}  // namespace

extern "C" VLT_EXPORT HRESULT DllCanUnloadNow() { return S_FALSE; }

extern "C" VLT_EXPORT HRESULT DllGetClassObject(REFCLSID clsid, REFIID riid, LPVOID* object) {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    try {
        if (!IsEqualCLSID(clsid, vlt::shellext::CLSID_VaultineExtension)) return CLASS_E_CLASSNOTAVAILABLE;
        auto* factory = new (std::nothrow) vlt::shellext::CContextMenuFactory;
        if (factory == nullptr) return E_OUTOFMEMORY;
        factory->AddRef();
        const HRESULT hr = factory->QueryInterface(riid, object);
        factory->Release();
        return hr;
    } catch (...) {
        return E_UNEXPECTED;
    }
}

extern "C" VLT_EXPORT HRESULT DllRegisterServer() {
    try {
        return vlt::shellext::registerServer(g_module.load());
    } catch (...) {
        return SELFREG_E_CLASS;
    }
}

extern "C" VLT_EXPORT HRESULT DllUnregisterServer() {
    try {
        return vlt::shellext::unregisterServer();
    } catch (...) {
        return S_OK;
    }
}
