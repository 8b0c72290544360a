// The control-panel applet protocol as VTCert32 answers it: one applet, whose double click
// opens the property sheet.
#pragma once

#include "win32/cpl.h"

namespace vlt::applet {

LONG cplApplet(HWND controlPanel, UINT message, LPARAM param1, LPARAM param2);

}  // namespace vlt::applet
