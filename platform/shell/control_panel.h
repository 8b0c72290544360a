// The control-panel runner: opens one applet of a control-panel library (".cpl") as the
// Windows control panel and "rundll32 shell32.dll,Control_RunDLL" do.
#pragma once

#include <string>
#include <vector>

#include "base/export.h"
#include "base/result.h"
#include "win32/cpl.h"

VLT_EXPORT_BEGIN

namespace vlt::shell {

struct AppletRun {
    std::vector<CPLINFO> applets;  // what CPL_INQUIRE gave, in order
    int opened = 0;                // the applet given CPL_DBLCLK
};

// Loads the library with dlopen and drives its CPlApplet: CPL_INIT, CPL_GETCOUNT, CPL_INQUIRE
// for each applet, CPL_DBLCLK for the chosen one (which returns when the applet's window
// closes), CPL_STOP for each, CPL_EXIT. selection is what Control_RunDLL takes after the
// library's name: empty for the first applet, "@N" for applet N. The library stays loaded, as
// every library this platform loads does. Errors: ERROR_FILE_NOT_FOUND (no such file),
// ERROR_BAD_EXE_FORMAT (not a loadable library), ERROR_PROC_NOT_FOUND (no CPlApplet: not an
// applet), ERROR_DLL_INIT_FAILED (CPL_INIT answered 0), ERROR_INVALID_INDEX (no such applet,
// or none at all); the message says which in words.
Result<AppletRun> runControlPanelApplet(const std::string& path, const std::string& selection = {});

}  // namespace vlt::shell

VLT_EXPORT_END
