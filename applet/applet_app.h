// CAppletApp: the applet library's application object. One lives in the plug-in from its
// loading to its unloading; it gives message boxes without a caption of their own the module's
// name, "VTCert32", and registers the applet's resources with the module.
#pragma once

#include "ui/framework.h"

namespace vlt::applet {

class CAppletApp : public ui::CWinApp {
    VLT_DECLARE_DYNAMIC(CAppletApp)
public:
    CAppletApp();
};

// The applet's plain message box: owned by `owner`, captioned with the application's name, with
// the exclamation icon.
int appletMessageBox(HWND owner, const char* text);

}  // namespace vlt::applet
