#include "tray/tray_app.h"

#include "shared/registry_layout.h"
#include "shared/tray_messages.h"
#include "tray/messages.h"
#include "tray/pictures.h"
#include "ui/resources.h"
#include "win32/wingdi.h"

namespace vlt::tray {

VLT_IMPLEMENT_DYNAMIC(CTrayApp, ui::CWinApp)

CTrayApp::CTrayApp() : ui::CWinApp(kAppName, ui::moduleOf(reinterpret_cast<const void*>(&registerPictures))) {}

CTrayApp::~CTrayApp() = default;

BOOL CTrayApp::InitInstance() {
    // The unlock cache lives outside the hive files; without this the tray would not see it.
    layout::declareVolatileValues();
    Enable3dControls();
    registerPictures(m_hInstance);
    const std::string windowClass = ui::AfxRegisterWndClass(
        CS_BYTEALIGNCLIENT, nullptr, static_cast<HBRUSH>(GetStockObject(NULL_BRUSH)), nullptr);
    auto window = std::make_unique<CTrayWindow>();
    if (windowClass.empty() || !window->CreateEx(WS_EX_TOOLWINDOW, windowClass.c_str(), kTrayWindowTitle, 0, 1, 1, 0, 0,
                                                 GetDesktopWindow(), nullptr)) {
        MessageBoxA(nullptr, kStartFailed, kStartFailedCaption, MB_OK | MB_ICONERROR);
        return FALSE;
    }
    m_window = std::move(window);
    m_pMainWnd = m_window.get();
    m_window->ShowWindow(SW_HIDE);
    m_window->UpdateWindow();
    return TRUE;
}

int CTrayApp::ExitInstance() {
    m_window.reset();
    return ui::CWinApp::ExitInstance();
}

}  // namespace vlt::tray
