// CTrayIcon: the program's icon in the notification area, a thin holder of the platform's
// record. Every change is skipped while the icon is not shown (enabled 0).
#pragma once

#include "ui/framework.h"
#include "win32/shellapi.h"

namespace vlt::tray {

class CTrayIcon : public ui::CObject {
    VLT_DECLARE_DYNAMIC(CTrayIcon)
public:
    CTrayIcon();
    ~CTrayIcon() override;  // removes the icon
    CTrayIcon(const CTrayIcon&) = delete;
    CTrayIcon& operator=(const CTrayIcon&) = delete;

    // Nothing (enabled 0) on a platform older than major version 4 or without an owner window;
    // else adds the icon, enabled is the result.
    BOOL AddIcon(HWND owner, UINT callbackMessage, LPCSTR tip, HICON icon, UINT id);
    BOOL RemoveIcon();
    BOOL ChangeIcon(HICON icon);
    // The icon resource of the program (the application's module).
    BOOL ChangeIcon(UINT resourceId);
    BOOL ChangeTip(LPCSTR tip);

    // The default handling of the callback message; the window calls it after its own.
    virtual LRESULT OnNotification(WPARAM id, LPARAM mouseMessage);

    BOOL Enabled() const { return m_enabled; }
    const NOTIFYICONDATAA& Data() const { return m_data; }

private:
    BOOL m_enabled = FALSE;
    NOTIFYICONDATAA m_data{};
};

}  // namespace vlt::tray
