// What the Windows shell does with context-menu handlers, for a list of files: find every
// handler registered for all files, initialise each with the selection, build the menu, and
// invoke a command. Used by vlt-shell (for file managers) and by the vlt command line.
#pragma once

#include <string>
#include <vector>

#include "base/result.h"
#include "com/com_ptr.h"
#include "win32/objbase.h"
#include "win32/shlobj.h"

namespace vlt::host {

struct Handler {
    std::string name;  // the key under *\shellex\ContextMenuHandlers
    CLSID clsid{};
    com::ComPtr<IContextMenu> menu;
    UINT firstId = 0;  // the first command identifier given to it
    UINT claimed = 0;  // identifiers it claimed (the code of its QueryContextMenu)
};

class ShellHost {
public:
    ShellHost();
    ~ShellHost();
    ShellHost(const ShellHost&) = delete;
    ShellHost& operator=(const ShellHost&) = delete;

    // Loads and initialises every handler registered under
    // HKEY_CLASSES_ROOT\*\shellex\ContextMenuHandlers with the files, in the order given (the
    // shell's selection order). A handler that cannot be loaded is skipped; its reason is kept.
    // Without any registration, the suite's own libVTMenu32.so is loaded from the system
    // directory (a per-user install cannot write the machine's HKEY_CLASSES_ROOT).
    Result<void> load(const std::vector<std::string>& files);
    // Builds the context menu: each handler adds its items at the end, with identifiers from 1.
    HMENU buildMenu(UINT flags = CMF_NORMAL);
    // One line per item: its text and state ("grayed"), submenus indented by two spaces.
    std::string describeMenu() const;
    // Invokes command `offset` of the named handler (the first one when the name is empty) and
    // gives its answer: S_OK when it did all that was asked, a failure when it did not (VLT's
    // handler answers HRESULT_FROM_WIN32(ERROR_CANCELLED) for a cancel, E_FAIL otherwise, having
    // said why itself).
    Result<HRESULT> invoke(const std::string& handlerName, UINT offset);
    // Shows the menu as a popup at the pointer and invokes the chosen command; false when the
    // menu was dismissed or the command did not succeed.
    bool popup();

    HWND window() const { return m_window; }
    const std::vector<Handler>& handlers() const { return m_handlers; }
    const std::vector<std::string>& problems() const { return m_problems; }

private:
    Result<HRESULT> invokeId(UINT id);
    Result<void> attach(Handler handler, IShellExtInit* init, const std::vector<std::string>& files);
    Result<void> loadSuiteHandler(const std::vector<std::string>& files);

    HWND m_window = nullptr;  // the shell's window: owner of everything the handlers show
    HMENU m_menu = nullptr;
    std::vector<Handler> m_handlers;
    std::vector<std::string> m_problems;
};

// regsvr32: loads the library and calls its DllRegisterServer or DllUnregisterServer.
Result<void> registerServer(const std::string& path, bool unregister);

}  // namespace vlt::host
