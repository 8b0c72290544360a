#include "tray/tray_window.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <iterator>

#include "shared/applet_start.h"
#include "shared/profile_keys.h"
#include "shared/registry_key.h"
#include "shared/registry_layout.h"
#include "shared/tray_messages.h"
#include "tray/messages.h"
#include "ui/frontend.h"
#include "win32/shellapi.h"
#include "win32/sysinfoapi.h"

namespace vlt::tray {
namespace {

HINSTANCE programModule() { return ui::AfxGetApp() ? ui::AfxGetApp()->m_hInstance : nullptr; }

// Lock profile: the unlock cache goes. A cache that cannot be removed leaves the profile
// unlocked: said once (until a lock succeeds again), and false.
bool deleteCache(HWND owner, bool& failureShown) {
    if (lockProfile()) {
        failureShown = false;
        return true;
    }
    if (!failureShown) MessageBoxA(owner, kLockFailed, kStartFailedCaption, MB_OK | MB_ICONERROR);
    failureShown = true;
    return false;
}

// Whether a cache value is there. Its size is enough to know: the plain key is not read.
bool cachePresent(const RegistryKey& profile) {
    for (const char* name : {layout::kTempExchangeBlob1, layout::kTempExchangeBlob2}) {
        DWORD size = 0;
        if (RegQueryValueExA(profile.Handle(), name, nullptr, nullptr, nullptr, &size) == ERROR_SUCCESS) return true;
    }
    return false;
}

// Our options in the Settings key: missing or non-zero is on.
bool optionOn(const char* name) {
    RegistryKey settings;
    DWORD value = 1;
    if (settings.Create(HKEY_CURRENT_USER, layout::kSettingsKey) == ERROR_SUCCESS) settings.QueryDword(value, name);
    return value != 0;
}

std::string countdownTip(DWORD secondsLeft) {
    char tip[64];
    std::snprintf(tip, sizeof tip, kTipCountdown, static_cast<int>(std::min<DWORD>(secondsLeft, INT_MAX)));
    return tip;
}

}  // namespace

VLT_IMPLEMENT_DYNAMIC(CTrayWindow, ui::CWnd)

CTrayWindow::CTrayWindow() = default;

CTrayWindow::~CTrayWindow() {
    if (m_lockedIcon != nullptr) DestroyIcon(m_lockedIcon);
}

LRESULT CTrayWindow::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
        case WM_CREATE: return OnCreate();
        case WM_TIMER: OnTimer(wParam); return 0;
        case kIconCallbackMessage: return OnTrayNotification(wParam, lParam);
        case kTrayTimeoutMessage:
            m_countdownLength = static_cast<DWORD>(wParam);
            return 0;
        case kTrayUnlockedMessage: return OnUnlocked();
        case kTrayStatusMessage: return OnStatus();
        case kTraySessionMessage: OnSessionEvent(static_cast<SessionEvent>(wParam)); return 0;
        case WM_COMMAND:
            if (OnCommand(LOWORD(wParam))) return 0;
            break;
        case WM_DESTROY: OnDestroy(); return Default();
        default: break;
    }
    return Default();
}

int CTrayWindow::OnCreate() {
    if (Default() == -1) return -1;
    RegistryKey profile;
    if (profile.Create(HKEY_CURRENT_USER, layout::kProfileKey) != ERROR_SUCCESS) return -1;
    deleteCache(m_hWnd, m_lockFailureShown);
    m_lockedIcon = LoadIconA(programModule(), MAKEINTRESOURCEA(kLockedIcon));
    m_shownIcon = kLockedIcon;
    m_shownTip = kTipLockedAtStart;
    m_icon.AddIcon(m_hWnd, kIconCallbackMessage, kTipLockedAtStart, m_lockedIcon, kIconId);
    m_locked = 1;
    DWORD period = 0;
    profile.QueryDword(period, layout::kTimeOutPeriod);
    m_countdownLength = period != 0 ? period : layout::kTrayDefaultTimeOutPeriod;
    ShowWindow(SW_HIDE);
    SetTimer(kTimerId, kTimerPeriodMs);
    return 0;
}

void CTrayWindow::OnTimer(UINT_PTR id) {
    if (id != kTimerId) return;
    ++m_ticks;
    ++m_elapsed;
    if (m_elapsed >= m_countdownLength) {
        RegistryKey profile;
        // When the key cannot be opened, elapsed stays: the next tick tries again.
        if (profile.Create(HKEY_CURRENT_USER, layout::kProfileKey) == ERROR_SUCCESS &&
            deleteCache(m_hWnd, m_lockFailureShown)) {
            m_elapsed = 0;
            ShowIcon(kLockedIcon);
            m_locked = 1;
            ShowTip(kTipLocked);
            profile.Close();
        }
    } else {
        FollowCache();
        if (m_locked == 0) ShowTip(countdownTip(m_countdownLength - m_elapsed));
    }
    RetryIcon();
}

LRESULT CTrayWindow::OnTrayNotification(WPARAM id, LPARAM mouseMessage) {
    if (mouseMessage == WM_LBUTTONUP || mouseMessage == WM_RBUTTONUP) {
        if (m_popupMenu != nullptr) {
            DestroyMenu(m_popupMenu);
            m_popupMenu = nullptr;
        }
        FollowCache();  // the menu offers what the cache allows now
        POINT at{};
        GetCursorPos(&at);
        m_popupMenu = CreatePopupMenu();
        if (m_popupMenu != nullptr) {
            AppendMenuA(m_popupMenu, MF_STRING, kExitCommand, kExitItem);
            AppendMenuA(m_popupMenu, MF_STRING, kAboutCommand, kAboutItem);
            AppendMenuA(m_popupMenu, MF_STRING, kHelpCommand, kHelpItem);
            AppendMenuA(m_popupMenu, MF_SEPARATOR, 0, nullptr);
            AppendMenuA(m_popupMenu, MF_STRING, kSettingsCommand, kSettingsItem);
            AppendMenuA(m_popupMenu, MF_STRING | (m_locked == 1 ? MF_GRAYED : MF_ENABLED), kLockCommand, kLockItem);
            SetForegroundWindow();
            TrackPopupMenu(m_popupMenu, TPM_LEFTBUTTON, at.x, at.y, 0, m_hWnd, nullptr);
            PostMessage(WM_NULL);
        }
    }
    m_icon.OnNotification(id, mouseMessage);
    return 0;
}

LRESULT CTrayWindow::OnUnlocked() {
    RegistryKey profile;
    RegistryKey settings;
    profile.Create(HKEY_CURRENT_USER, layout::kProfileKey);
    settings.Create(HKEY_CURRENT_USER, layout::kSettingsKey);
    DWORD autoLock = 0;
    settings.QueryDword(autoLock, layout::kAutoLock);
    if (autoLock == 0) {
        // Automatic locking off: every unlock is followed by a lock at once.
        deleteCache(m_hWnd, m_lockFailureShown);
    } else if (cachePresent(profile)) {
        m_elapsed = 0;
        m_locked = 0;
        ShowIcon(kUnlockedIcon);
    }
    return 0;
}

LRESULT CTrayWindow::OnStatus() {
    FollowCache();
    if (m_locked != 0) return kTrayStatusLocked;
    const DWORD left = m_elapsed < m_countdownLength ? m_countdownLength - m_elapsed : 0;
    return static_cast<LRESULT>(std::min<DWORD>(left, 0x7FFFFFFF));
}

bool CTrayWindow::OnCommand(UINT id) {
    switch (id) {
        case kExitCommand:
            // The cache stays: an unlocked profile outlives the tray program.
            KillTimer(kTimerId);
            DestroyWindow();
            return true;
        case kAboutCommand: MessageBox(kAboutText, kAboutCaption, MB_OK | MB_ICONINFORMATION); return true;
        case kHelpCommand: OpenHelp(); return true;
        case kSettingsCommand: OpenSettings(); return true;
        case kLockCommand: LockNow(); return true;
        default: return false;
    }
}

void CTrayWindow::OnDestroy() {
    if (m_popupMenu != nullptr) {
        DestroyMenu(m_popupMenu);
        m_popupMenu = nullptr;
    }
    m_icon.RemoveIcon();
}

void CTrayWindow::LockNow() {
    if (!deleteCache(m_hWnd, m_lockFailureShown)) return;
    ShowIcon(kLockedIcon);
    m_locked = 1;
    ShowTip(kTipLocked);
}

void CTrayWindow::OnSessionEvent(SessionEvent event) {
    const char* option = nullptr;
    switch (event) {
        case SessionEvent::ScreenLocked: option = layout::kLockOnScreenLock; break;
        case SessionEvent::Suspending: option = layout::kLockOnSuspend; break;
        case SessionEvent::SessionEnding: option = layout::kLockOnLogout; break;
    }
    if (option != nullptr && optionOn(option)) LockNow();
}

void CTrayWindow::OpenSettings() {
    if (!startApplet(m_hWnd)) MessageBox(kSettingsFailed, kStatusCaption, MB_OK);
}

void CTrayWindow::OpenHelp() {
    char directory[MAX_PATH];
    const UINT length = GetSystemDirectoryA(directory, sizeof directory);
    SHELLEXECUTEINFOA info{};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_FLAG_DDEWAIT;
    info.hwnd = m_hWnd;
    info.lpFile = kHelpFile;
    info.lpDirectory = length > 0 && length < sizeof directory ? directory : nullptr;
    info.nShow = SW_SHOWDEFAULT;
    if (!ShellExecuteExA(&info)) MessageBox(kHelpMissing, kStatusCaption, MB_OK);
}

void CTrayWindow::ShowIcon(UINT resourceId) {
    m_shownIcon = resourceId;
    m_icon.ChangeIcon(resourceId);
}

void CTrayWindow::ShowTip(const std::string& tip) {
    if (tip == m_shownTip) return;  // the same text again changes nothing
    m_shownTip = tip;
    m_icon.ChangeTip(tip.c_str());
}

void CTrayWindow::FollowCache() {
    RegistryKey profile;
    if (profile.Open(HKEY_CURRENT_USER, layout::kProfileKey) != ERROR_SUCCESS) return;
    const bool present = cachePresent(profile);
    if (m_locked == 0 && !present) {
        // Locked by another program (vlt profile lock, the applet): show it at once.
        ShowIcon(kLockedIcon);
        m_locked = 1;
        ShowTip(kTipLocked);
    } else if (m_locked != 0 && present) {
        // Unlocked without telling us: handled as the unlock we were not told about.
        profile.Close();
        OnUnlocked();
    }
}

void CTrayWindow::RetryIcon() {
    if (m_icon.Enabled()) return;
    if (std::find(std::begin(kIconRetryTicks), std::end(kIconRetryTicks), m_ticks) == std::end(kIconRetryTicks)) return;
    const HICON icon = LoadIconA(programModule(), MAKEINTRESOURCEA(m_shownIcon));
    if (m_icon.AddIcon(m_hWnd, kIconCallbackMessage, m_shownTip.c_str(), icon, kIconId)) return;
    if (m_toldNoIcon || m_ticks < kNoIconToldTick) return;
    m_toldNoIcon = true;
    ui::NotificationRequest note{kAppName, kNoTraySummary, kNoTrayBody};
    ui::Frontend* f = ui::frontend();
    if (f == nullptr || !f->showNotification(note)) std::fprintf(stderr, "%s: %s\n", kAppName, kNoTrayBody);
}

}  // namespace vlt::tray
