#include "tray_notice.h"

#include <cstdio>

#include "shared/registry_layout.h"
#include "shared/tray_messages.h"
#include "win32/winreg.h"
#include "win32/winuser.h"

namespace vlt::cli {

bool profileUnlocked() {
    HKEY profile = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, layout::kProfileKey, 0, KEY_READ, &profile) != ERROR_SUCCESS) return false;
    DWORD size = 0;
    const bool cached =
        RegQueryValueExA(profile, layout::kTempExchangeBlob1, nullptr, nullptr, nullptr, &size) == ERROR_SUCCESS;
    RegCloseKey(profile);
    return cached;
}

void tellWhenUnlockedWithoutTray() {
    if (!profileUnlocked() || FindWindowA(nullptr, kTrayWindowTitle) != nullptr) return;
    std::fputs(
        "vlt: no tray program is running: your profile stays unlocked until 'vlt profile lock' "
        "or until a tray program (VTTray32) starts\n",
        stderr);
}

}  // namespace vlt::cli
