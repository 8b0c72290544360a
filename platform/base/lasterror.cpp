#include "win32/winbase.h"

#include "base/clock.h"

namespace {
thread_local DWORD t_lastError = ERROR_SUCCESS;
}

DWORD GetLastError() { return t_lastError; }
void SetLastError(DWORD code) { t_lastError = code; }

DWORD GetTickCount() { return static_cast<DWORD>(vlt::base::clock().nowMs()); }
