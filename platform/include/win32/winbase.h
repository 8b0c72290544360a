// Thread-local last error, as kernel32 keeps it.
#pragma once

#include "win32/windef.h"
#include "win32/winerror.h"

DWORD GetLastError();
void SetLastError(DWORD code);

// Milliseconds since an arbitrary start, from the process's clock (see base/clock.h).
DWORD GetTickCount();
