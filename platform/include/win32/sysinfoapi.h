// The system directory (platform/shell): where the suite's programs, plug-ins and help are
// installed ($VLT_SYSTEM_DIR overrides it).
#pragma once

#include "win32/windef.h"
#include "win32/winerror.h"

// The length copied without the terminator; when uSize is too small, the size needed with the
// terminator and the buffer is left alone.
UINT GetSystemDirectoryA(LPSTR lpBuffer, UINT uSize);
