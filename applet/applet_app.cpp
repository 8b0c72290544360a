#include "applet/applet_app.h"

#include "applet/resources.h"
#include "applet/templates.h"

namespace vlt::applet {

VLT_IMPLEMENT_DYNAMIC(CAppletApp, ui::CWinApp)

CAppletApp::CAppletApp() : ui::CWinApp(kModuleName, appletModule()) { registerAppletResources(m_hInstance); }

int appletMessageBox(HWND owner, const char* text) {
    ui::CWinApp* app = ui::AfxGetApp();
    return MessageBoxA(owner, text, app ? app->m_pszAppName : kModuleName, MB_OK | MB_ICONEXCLAMATION);
}

}  // namespace vlt::applet
