#include "hosts/shell/shell_host.h"

#include <cstdio>
#include <string>

#include "com/dataobject.h"
#include "base/paths.h"
#include "com/inproc.h"
#include "win32/winnls.h"
#include "win32/winreg.h"
#include "win32/winstr.h"

namespace vlt::host {
namespace {

constexpr const char* kHandlersKey = "*\\shellex\\ContextMenuHandlers";
constexpr const char* kWindowClass = "VltShellWindow";

LRESULT shellWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

std::string hresultText(HRESULT hr) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(hr));
    return text;
}

Result<CLSID> parseClsid(const std::string& text) {
    std::u16string wide(text.begin(), text.end());
    CLSID clsid{};
    if (FAILED(CLSIDFromString(reinterpret_cast<LPCOLESTR>(wide.c_str()), &clsid)))
        return fail("\"" + text + "\" is not a class identifier");
    return clsid;
}

void describeItems(HMENU menu, int depth, std::string& out) {
    const int count = GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i) {
        const UINT state = GetMenuState(menu, static_cast<UINT>(i), MF_BYPOSITION);
        out.append(static_cast<std::size_t>(depth) * 2, ' ');
        if (state & MF_SEPARATOR) {
            out += "----\n";
            continue;
        }
        char text[256] = {};
        GetMenuStringA(menu, static_cast<UINT>(i), text, sizeof text, MF_BYPOSITION);
        out += text;
        if (state & MF_GRAYED) out += "\t(grayed)";
        out += '\n';
        if (HMENU sub = GetSubMenu(menu, i)) describeItems(sub, depth + 1, out);
    }
}

}  // namespace

ShellHost::ShellHost() {
    WNDCLASSA wc{};
    wc.lpfnWndProc = shellWindowProc;
    wc.lpszClassName = kWindowClass;
    RegisterClassA(&wc);
    m_window = CreateWindowExA(0, kWindowClass, "", WS_OVERLAPPED, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
}

ShellHost::~ShellHost() {
    m_handlers.clear();
    if (m_menu) DestroyMenu(m_menu);
    if (m_window) DestroyWindow(m_window);
}

// The suite's own handler, for a user whose machine has no registration (a per-user install):
// loaded from the system directory by its path instead of through the registry.
constexpr CLSID kVaultineClsid = {0x87b9bd00, 0xc65c, 0x11cd, {0xa2, 0x59, 0x00, 0xdd, 0x01, 0x0e, 0x8c, 0x28}};

Result<void> ShellHost::attach(Handler h, IShellExtInit* object, const std::vector<std::string>& files) {
    const com::ComPtr<IShellExtInit> init(object);
    const com::ComPtr<IDataObject> data(com::makeFileListDataObject(files));
    if (!data) return fail("a file name cannot be handed to the shell");
    init->Initialize(nullptr, data.get(), nullptr);
    void* menu = nullptr;
    if (SUCCEEDED(init->QueryInterface(IID_IContextMenu, &menu))) {
        h.menu.reset(static_cast<IContextMenu*>(menu));
        m_handlers.push_back(std::move(h));
    }
    return {};
}

Result<void> ShellHost::loadSuiteHandler(const std::vector<std::string>& files) {
    auto server = com::InprocServer::load(base::systemDir() + "/libVTMenu32.so");
    if (!server) return server.error();
    IClassFactory* factory = nullptr;
    if (FAILED((*server)->getClassObject(kVaultineClsid, IID_IClassFactory, reinterpret_cast<void**>(&factory))))
        return fail("the VLT shell extension offers no class factory");
    void* object = nullptr;
    const HRESULT hr = com::ComPtr<IClassFactory>(factory)->CreateInstance(nullptr, IID_IShellExtInit, &object);
    if (FAILED(hr)) return fail("the VLT shell extension cannot make its handler: " + hresultText(hr));
    Handler h;
    h.name = "Vaultine";
    h.clsid = kVaultineClsid;
    return attach(std::move(h), static_cast<IShellExtInit*>(object), files);
}

Result<void> ShellHost::load(const std::vector<std::string>& files) {
    HKEY handlers = nullptr;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, kHandlersKey, 0, KEY_READ, &handlers) != ERROR_SUCCESS)
        return loadSuiteHandler(files);
    for (DWORD index = 0;; ++index) {
        char name[256];
        DWORD length = sizeof name;
        if (RegEnumKeyExA(handlers, index, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        HKEY key = nullptr;
        char value[256] = {};
        DWORD size = sizeof value - 1;
        if (RegOpenKeyExA(handlers, name, 0, KEY_READ, &key) != ERROR_SUCCESS) continue;
        const LONG rc = RegQueryValueExA(key, nullptr, nullptr, nullptr, reinterpret_cast<BYTE*>(value), &size);
        RegCloseKey(key);
        if (rc != ERROR_SUCCESS) continue;
        auto clsid = parseClsid(value);
        if (!clsid) {
            m_problems.push_back(std::string(name) + ": " + clsid.error().message);
            continue;
        }
        Handler h;
        h.name = name;
        h.clsid = *clsid;
        std::string why;
        void* object = nullptr;
        const HRESULT hr = com::createInstance(h.clsid, IID_IShellExtInit, &object, &why);
        if (FAILED(hr)) {
            m_problems.push_back(std::string(name) + ": " + hresultText(hr) + (why.empty() ? "" : " " + why));
            continue;
        }
        if (auto attached = attach(std::move(h), static_cast<IShellExtInit*>(object), files); !attached) {
            RegCloseKey(handlers);
            return attached;
        }
    }
    RegCloseKey(handlers);
    if (m_handlers.empty()) return loadSuiteHandler(files);
    return {};
}

HMENU ShellHost::buildMenu(UINT flags) {
    if (m_menu) DestroyMenu(m_menu);
    m_menu = CreatePopupMenu();
    UINT next = 1;
    for (auto& h : m_handlers) {
        h.firstId = next;
        const HRESULT hr = h.menu->QueryContextMenu(m_menu, static_cast<UINT>(GetMenuItemCount(m_menu)), next, 0x7FFF,
                                                    flags);
        h.claimed = SUCCEEDED(hr) ? static_cast<UINT>(hr & 0xFFFF) : 0;
        next += h.claimed;
    }
    return m_menu;
}

std::string ShellHost::describeMenu() const {
    std::string out;
    if (m_menu) describeItems(m_menu, 0, out);
    return out;
}

Result<HRESULT> ShellHost::invoke(const std::string& handlerName, UINT offset) {
    for (auto& h : m_handlers) {
        if (!handlerName.empty() && lstrcmpiA(h.name.c_str(), handlerName.c_str()) != 0) continue;
        CMINVOKECOMMANDINFO info{};
        info.cbSize = sizeof info;
        info.hwnd = m_window;
        info.lpVerb = MAKEINTRESOURCEA(offset);
        info.nShow = SW_SHOWNORMAL;
        return h.menu->InvokeCommand(&info);
    }
    return fail("no handler named " + handlerName);
}

Result<HRESULT> ShellHost::invokeId(UINT id) {
    for (auto& h : m_handlers)
        if (id >= h.firstId && id < h.firstId + h.claimed) return invoke(h.name, id - h.firstId);
    return fail("no handler owns command " + std::to_string(id));
}

bool ShellHost::popup() {
    if (m_menu == nullptr) buildMenu();
    POINT at{};
    GetCursorPos(&at);
    SetForegroundWindow(m_window);
    const auto id = static_cast<UINT>(
        TrackPopupMenu(m_menu, TPM_LEFTALIGN | TPM_RIGHTBUTTON | TPM_RETURNCMD, at.x, at.y, 0, m_window, nullptr));
    if (id == 0) return false;
    const auto answer = invokeId(id);
    return answer && SUCCEEDED(*answer);
}

Result<void> registerServer(const std::string& path, bool unregister) {
    auto server = com::InprocServer::load(path);
    if (!server) return server.error();
    const auto entry = unregister ? (*server)->unregisterServer : (*server)->registerServer;
    if (entry == nullptr)
        return fail(path + " does not export " + (unregister ? "DllUnregisterServer" : "DllRegisterServer"));
    const HRESULT hr = entry();
    if (FAILED(hr)) return fail((unregister ? "DllUnregisterServer" : "DllRegisterServer") + std::string(" failed: ") +
                                hresultText(hr));
    return {};
}

}  // namespace vlt::host
