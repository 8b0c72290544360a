// Every text the tray program shows, and the numbers of its resources and commands.
#pragma once

#include "win32/winuser.h"

namespace vlt::tray {

inline constexpr const char* kAppName = "VTTray32";

// Icons and the notification area.
inline constexpr int kLockedIcon = 131;
inline constexpr int kUnlockedIcon = 132;
inline constexpr UINT kIconId = 100;
inline constexpr UINT kIconCallbackMessage = WM_USER + 10;
inline constexpr const char* kTipLockedAtStart = "VLT is Locked.";
inline constexpr const char* kTipLocked = "Vaultine is Locked.";
inline constexpr const char* kTipCountdown = "VLT will be locked in %d Seconds.";

// The countdown.
inline constexpr UINT_PTR kTimerId = 1;
inline constexpr UINT kTimerPeriodMs = 1000;

// The icon's menu, in order.
inline constexpr UINT kExitCommand = 1036;
inline constexpr UINT kAboutCommand = 1037;
inline constexpr UINT kSettingsCommand = 1038;
inline constexpr UINT kLockCommand = 1039;
inline constexpr UINT kHelpCommand = 1041;
inline constexpr const char* kExitItem = "E&xit";
inline constexpr const char* kAboutItem = "&About";
inline constexpr const char* kHelpItem = "&Help";
inline constexpr const char* kSettingsItem = "&Settings";
inline constexpr const char* kLockItem = "&Lock VLT";

inline constexpr const char* kStatusCaption = "VLT Status Report";
inline constexpr const char* kSettingsFailed = "An Error occured while trying to load settings.";
inline constexpr const char* kHelpMissing = "The following help file cannot be located.\n - Vaultine.Chm";
inline constexpr const char* kHelpFile = "Vaultine.chm";

// Texts of our own.
inline constexpr const char* kAboutCaption = "About VLT";
inline constexpr const char* kAboutText =
    "VLT\nVersion 1.0.0.1\n\nShows whether your VLT profile is locked, and locks it when you stop using it.";
inline constexpr const char* kStartFailedCaption = "VLT Emergency Report";
inline constexpr const char* kStartFailed =
    "VTTray32 cannot open your VLT profile in the registry, so it cannot lock it. It has stopped.";
inline constexpr const char* kLockFailed =
    "VLT cannot remove the unlock cache, so your profile is still unlocked. Lock it with \"vlt profile lock\".";
inline constexpr const char* kNoTraySummary = "VLT runs without a tray icon";
inline constexpr const char* kNoTrayBody =
    "This desktop has no notification area, so VLT cannot show whether your profile is locked. It still "
    "locks it automatically; \"vlt tray status\" tells you its state.";

}  // namespace vlt::tray
