#include "tray/tray_icon.h"

#include <cstring>

#include "win32/sysinfoapi.h"

namespace vlt::tray {
namespace {

// At most 63 characters and the terminator, the rest of the field cleared.
void copyTip(char (&field)[64], LPCSTR tip) {
    std::memset(field, 0, sizeof field);
    if (tip == nullptr) return;
    const std::size_t n = strnlen(tip, sizeof field - 1);
    std::memcpy(field, tip, n);
}

}  // namespace

VLT_IMPLEMENT_DYNAMIC(CTrayIcon, ui::CObject)

CTrayIcon::CTrayIcon() = default;

CTrayIcon::~CTrayIcon() { RemoveIcon(); }

BOOL CTrayIcon::AddIcon(HWND owner, UINT callbackMessage, LPCSTR tip, HICON icon, UINT id) {
    if (LOBYTE(LOWORD(GetVersion())) < 4 || !IsWindow(owner)) {
        m_enabled = FALSE;
        return FALSE;
    }
    m_data = NOTIFYICONDATAA{};
    m_data.cbSize = NOTIFYICONDATAA_V1_SIZE;
    m_data.hWnd = owner;
    m_data.uID = id;
    m_data.hIcon = icon;
    m_data.uCallbackMessage = callbackMessage;
    m_data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    copyTip(m_data.szTip, tip);
    m_enabled = Shell_NotifyIconA(NIM_ADD, &m_data);
    return m_enabled;
}

BOOL CTrayIcon::RemoveIcon() {
    if (!m_enabled) return FALSE;
    m_data.uFlags = 0;
    const BOOL removed = Shell_NotifyIconA(NIM_DELETE, &m_data);
    m_enabled = FALSE;
    return removed;
}

BOOL CTrayIcon::ChangeIcon(HICON icon) {
    if (!m_enabled) return FALSE;
    m_data.uFlags = NIF_ICON;
    m_data.hIcon = icon;
    return Shell_NotifyIconA(NIM_MODIFY, &m_data);
}

BOOL CTrayIcon::ChangeIcon(UINT resourceId) {
    if (!m_enabled) return FALSE;
    const HINSTANCE module = ui::AfxGetApp() ? ui::AfxGetApp()->m_hInstance : nullptr;
    return ChangeIcon(LoadIconA(module, MAKEINTRESOURCEA(resourceId)));
}

BOOL CTrayIcon::ChangeTip(LPCSTR tip) {
    if (!m_enabled) return FALSE;
    m_data.uFlags = NIF_TIP;
    copyTip(m_data.szTip, tip);
    return Shell_NotifyIconA(NIM_MODIFY, &m_data);
}

LRESULT CTrayIcon::OnNotification(WPARAM, LPARAM) {
    // The framework's default opens the menu resource numbered like the icon on a right-button
    // release or a double click; the program has no such menu, so nothing happens.
    return 0;
}

}  // namespace vlt::tray
