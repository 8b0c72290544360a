// Notification-area icons as QSystemTrayIcon, and desktop notifications over D-Bus
// (org.freedesktop.Notifications). GUI thread only; the front end brings calls here.
#pragma once

#include <map>
#include <memory>
#include <utility>

#include "ui/frontend.h"

class QSystemTrayIcon;

namespace vlt::frontends::qt {

class TrayIcons {
public:
    TrayIcons();
    ~TrayIcons();
    TrayIcons(const TrayIcons&) = delete;
    TrayIcons& operator=(const TrayIcons&) = delete;

    // false when the desktop has no notification area (QSystemTrayIcon::isSystemTrayAvailable)
    // or, for a change, when the icon is not shown. A click on a shown icon posts its mouse
    // messages to the owner (ui::notifyIconEvent): a left click as press and release, the
    // context request (right click) likewise, a double click as WM_LBUTTONDBLCLK and release.
    bool apply(const ui::NotifyIconRequest& request);
    // The shown icon of (owner, id), or null.
    QSystemTrayIcon* find(HWND owner, UINT id) const;

private:
    std::map<std::pair<HWND, UINT>, std::unique_ptr<QSystemTrayIcon>> m_icons;
};

// Notify on the session bus; false when no notification service answers.
bool sendDesktopNotification(const ui::NotificationRequest& request);

}  // namespace vlt::frontends::qt
