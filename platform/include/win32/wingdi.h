// The little of GDI the suite touches: stock objects for window-class backgrounds. Nothing is
// drawn through GDI here; front ends paint.
#pragma once

#include "win32/winuser.h"

using HGDIOBJ = void*;

#define WHITE_BRUSH 0
#define LTGRAY_BRUSH 1
#define GRAY_BRUSH 2
#define DKGRAY_BRUSH 3
#define BLACK_BRUSH 4
#define NULL_BRUSH 5
#define HOLLOW_BRUSH NULL_BRUSH

// A handle that names the stock object (it is never freed); NULL for an index we do not know.
HGDIOBJ GetStockObject(int i);
