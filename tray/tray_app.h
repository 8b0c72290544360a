// CTrayApp: the program's application object. It makes the hidden window "Vaultine Tray" at
// start, runs the message loop until the window is destroyed, and deletes the window at exit.
#pragma once

#include <memory>

#include "tray/tray_window.h"
#include "ui/framework.h"

namespace vlt::tray {

class CTrayApp : public ui::CWinApp {
    VLT_DECLARE_DYNAMIC(CTrayApp)
public:
    CTrayApp();
    ~CTrayApp() override;

    // Registers the icons and the window class and creates the window. FALSE (after telling
    // the user) when the window cannot be created: the program must not run without it.
    BOOL InitInstance() override;
    int ExitInstance() override;

    CTrayWindow* Window() const { return m_window.get(); }

private:
    std::unique_ptr<CTrayWindow> m_window;
};

}  // namespace vlt::tray
