#include "applet/cpl_applet.h"

#include "applet/container_sheet.h"
#include "applet/resources.h"

namespace vlt::applet {

LONG cplApplet(HWND, UINT message, LPARAM, LPARAM param2) {
    switch (message) {
        case CPL_INIT:
        case CPL_GETCOUNT: return 1;
        case CPL_INQUIRE: {
            auto* info = reinterpret_cast<CPLINFO*>(param2);
            if (info == nullptr) return 0;
            info->idIcon = kAppletIcon;
            info->idName = kAppletNameString;
            info->idInfo = kAppletInfoString;
            info->lData = 0;
            return 0;
        }
        case CPL_DBLCLK: runContainerSheet(); return 0;
        default: return 0;
    }
}

}  // namespace vlt::applet
