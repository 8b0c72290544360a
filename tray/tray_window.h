// CTrayWindow: the hidden window "Vaultine Tray". It owns the lock state and the countdown,
// shows them in the notification area, and answers the other programs' messages
// (shared/tray_messages.h) and the icon's menu.
//
// Beyond the Windows original: it follows the unlock cache itself (another program that removes
// it, or fills it without telling, is seen at the next tick), locks when the session asks for it
// (screen lock, suspend, session end; each a Settings option, on unless 0), answers
// kTrayStatusMessage, and when the desktop has no notification area it says so once, within
// seconds, through a desktop notification, and tries the icon again for a minute.
#pragma once

#include <string>

#include "tray/tray_icon.h"
#include "ui/framework.h"

namespace vlt::tray {

// What the session asks for; the wParam of kTraySessionMessage.
enum class SessionEvent : WPARAM { ScreenLocked = 1, Suspending = 2, SessionEnding = 3 };
// Sent by the program's own watchers of the session (D-Bus, signals); result 0.
inline constexpr UINT kTraySessionMessage = WM_USER + 21;

// Seconds after start at which an icon the desktop refused is tried again: a panel may start
// after the tray at login. From kNoIconToldTick on, a refusal is said once, and the later
// tries still give a late panel its icon.
inline constexpr DWORD kIconRetryTicks[] = {1, 2, 3, 5, 10, 30, 60};
inline constexpr DWORD kNoIconToldTick = 5;

class CTrayWindow : public ui::CWnd {
    VLT_DECLARE_DYNAMIC(CTrayWindow)
public:
    CTrayWindow();
    ~CTrayWindow() override;  // destroys the locked icon's handle

    DWORD CountdownLength() const { return m_countdownLength; }
    DWORD Elapsed() const { return m_elapsed; }
    bool IsLocked() const { return m_locked != 0; }
    HMENU PopupMenu() const { return m_popupMenu; }
    const CTrayIcon& Icon() const { return m_icon; }

    // The session's requests (see kTraySessionMessage): lock now unless the option says no.
    void OnSessionEvent(SessionEvent event);

protected:
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    int OnCreate();
    void OnTimer(UINT_PTR id);
    LRESULT OnTrayNotification(WPARAM id, LPARAM mouseMessage);
    LRESULT OnUnlocked();
    LRESULT OnStatus();
    bool OnCommand(UINT id);
    void OnDestroy();
    void LockNow();
    void OpenSettings();
    void OpenHelp();

    // Ours: the icon and tip wanted now, kept also while the desktop shows no icon.
    void ShowIcon(UINT resourceId);
    void ShowTip(const std::string& tip);
    // Ours: the cache as it is, whoever changed it.
    void FollowCache();
    void RetryIcon();

    // The Windows original's fields, in its order.
    DWORD m_countdownLength = 0;
    DWORD m_elapsed = 0;
    DWORD m_locked = 0;
    bool m_lockFailureShown = false;  // a failing lock is said once, retried on every tick
    HMENU m_popupMenu = nullptr;
    CTrayIcon m_icon;
    HICON m_lockedIcon = nullptr;

    // Ours.
    UINT m_shownIcon = 0;
    std::string m_shownTip;
    DWORD m_ticks = 0;  // since start
    bool m_toldNoIcon = false;
};

}  // namespace vlt::tray
