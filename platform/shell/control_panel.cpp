#include "shell/control_panel.h"

#include <dlfcn.h>
#include <sys/stat.h>

#include <cstring>

#include "win32/winerror.h"

namespace vlt::shell {
namespace {

Error problem(const std::string& text, DWORD code) { return fail(text, static_cast<std::uint32_t>(code)); }

// "@N": applet N; anything else names no applet this runner can find.
bool parseSelection(const std::string& selection, LONG count, int& index) {
    if (selection.empty()) {
        index = 0;
        return count > 0;
    }
    if (selection.size() < 2 || selection[0] != '@' ||
        selection.find_first_not_of("0123456789", 1) != std::string::npos || selection.size() > 10)
        return false;
    index = std::stoi(selection.substr(1));
    return index < count;
}

}  // namespace

Result<AppletRun> runControlPanelApplet(const std::string& path, const std::string& selection) {
    struct stat st {};
    if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return problem(path + ": no such control-panel file", ERROR_FILE_NOT_FOUND);
    void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!library) {
        const char* why = dlerror();
        return problem(path + " cannot be loaded: " + (why ? why : "not a library"), ERROR_BAD_EXE_FORMAT);
    }
    dlerror();
    void* entry = dlsym(library, "CPlApplet");
    if (!entry) return problem(path + " is not a control-panel applet (it has no CPlApplet)", ERROR_PROC_NOT_FOUND);
    APPLET_PROC applet = nullptr;
    static_assert(sizeof applet == sizeof entry);
    std::memcpy(&applet, &entry, sizeof applet);

    if (applet(nullptr, CPL_INIT, 0, 0) == 0)
        return problem(path + ": the applet refused to start (CPL_INIT answered 0)", ERROR_DLL_INIT_FAILED);
    AppletRun run;
    const LONG count = applet(nullptr, CPL_GETCOUNT, 0, 0);
    for (LONG i = 0; i < count; ++i) {
        CPLINFO info{};
        applet(nullptr, CPL_INQUIRE, i, reinterpret_cast<LPARAM>(&info));
        run.applets.push_back(info);
    }
    const bool found = parseSelection(selection, count, run.opened);
    if (found) applet(nullptr, CPL_DBLCLK, run.opened, run.applets[static_cast<std::size_t>(run.opened)].lData);
    for (LONG i = 0; i < count; ++i) applet(nullptr, CPL_STOP, i, run.applets[static_cast<std::size_t>(i)].lData);
    applet(nullptr, CPL_EXIT, 0, 0);
    if (!found) {
        const std::string which = selection.empty() ? "it offers no applet" : "it has no applet " + selection;
        return problem(path + ": " + which, ERROR_INVALID_INDEX);
    }
    return run;
}

}  // namespace vlt::shell
