#include "shared/applet_start.h"

#include <cstdio>

#include "win32/shellapi.h"
#include "win32/sysinfoapi.h"

namespace vlt {

bool startApplet(HWND owner) {
    char directory[MAX_PATH];
    const UINT length = GetSystemDirectoryA(directory, sizeof directory);
    if (length == 0 || length >= sizeof directory) return false;
    char parameters[MAX_PATH + 64];
    const int n = std::snprintf(parameters, sizeof parameters, "shell32.dll,Control_RunDLL %s\\VTCert32.Cpl", directory);
    if (n <= 0 || static_cast<std::size_t>(n) >= sizeof parameters) return false;
    SHELLEXECUTEINFOA info{};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_FLAG_DDEWAIT;
    info.hwnd = owner;
    info.lpFile = "rundll32.exe";
    info.lpParameters = parameters;
    info.nShow = SW_SHOWDEFAULT;
    return ShellExecuteExA(&info) != FALSE;
}

}  // namespace vlt
