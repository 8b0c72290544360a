// Opens the control-panel applet VTCert32 the Windows way: "rundll32.exe" with
// "shell32.dll,Control_RunDLL <system directory>\VTCert32.Cpl", not waited for.
#pragma once

#include "win32/windef.h"

namespace vlt {

// false when the system directory cannot be had or the start failed; shows nothing.
bool startApplet(HWND owner);

}  // namespace vlt
