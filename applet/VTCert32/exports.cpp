// VTCert32.Cpl: the control-panel applet. It exports exactly CPlApplet and ImportProfile; its
// application object lives from the library's loading to its unloading, so a host without one
// of its own still gets the module's name on message boxes and finds the applet's resources.
#include <exception>

#include "applet/applet_app.h"
#include "applet/cpl_applet.h"
#include "applet/import_profile.h"
#include "base/export.h"

namespace {

vlt::applet::CAppletApp theApp;

}  // namespace

// Nothing may escape into a host that knows nothing of C++.
extern "C" VLT_EXPORT LONG CPlApplet(HWND controlPanel, UINT message, LPARAM param1, LPARAM param2) {
    try {
        return vlt::applet::cplApplet(controlPanel, message, param1, param2);
    } catch (...) {
        return 0;
    }
}

extern "C" VLT_EXPORT int ImportProfile(const BYTE* block) {
    try {
        return vlt::applet::importProfile(block);
    } catch (...) {
        return 0;
    }
}
