// The control-panel applet protocol: the messages a runner sends to an applet's CPlApplet and
// the record CPL_INQUIRE fills.
#pragma once

#include "base/export.h"
#include "win32/windef.h"

VLT_EXPORT_BEGIN

#define CPL_DYNAMIC_RES 0

#define CPL_INIT 1
#define CPL_GETCOUNT 2
#define CPL_INQUIRE 3
#define CPL_SELECT 4
#define CPL_DBLCLK 5
#define CPL_STOP 6
#define CPL_EXIT 7
#define CPL_NEWINQUIRE 8
#define CPL_STARTWPARMSA 9
#define CPL_SETUP 200

struct CPLINFO {
    int idIcon;
    int idName;
    int idInfo;
    LONG_PTR lData;
};
using LPCPLINFO = CPLINFO*;

// The applet's entry: (control-panel window, message, parameter 1, parameter 2).
using APPLET_PROC = LONG (*)(HWND hwndCpl, UINT msg, LPARAM lParam1, LPARAM lParam2);

VLT_EXPORT_END
