// The tray program's window as the other programs reach it: found by its title with
// FindWindowA(NULL, kTrayWindowTitle), then sent one of these messages (SendMessageA). When no
// such window exists, nothing is sent.
#pragma once

#include "win32/winuser.h"

namespace vlt {

inline constexpr char kTrayWindowTitle[] = "Vaultine Tray";

// wParam: the new countdown length in seconds; lParam 0. Result 0. From the settings page.
inline constexpr UINT kTrayTimeoutMessage = WM_USER + 11;
// Both parameters 0; result 0. From the shell extension after every private-key load.
inline constexpr UINT kTrayUnlockedMessage = WM_USER + 16;

// Ours, not in the Windows original: the tray's state as it sees it (vlt tray status). Both
// parameters 0. Result kTrayStatusLocked while locked, else the seconds until the automatic
// lock (0 to 0x7FFFFFFF).
inline constexpr UINT kTrayStatusMessage = WM_USER + 20;
inline constexpr LRESULT kTrayStatusLocked = -1;

}  // namespace vlt
