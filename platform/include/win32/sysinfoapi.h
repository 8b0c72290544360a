// The system directory (platform/shell): where the suite's programs, plug-ins and help are
// installed ($VLT_SYSTEM_DIR overrides it); the Windows version (platform/base).
#pragma once

#include "base/export.h"
#include "win32/windef.h"
#include "win32/winerror.h"

VLT_EXPORT_BEGIN

// The length copied without the terminator; when uSize is too small, the size needed with the
// terminator and the buffer is left alone.
UINT GetSystemDirectoryA(LPSTR lpBuffer, UINT uSize);

// The Windows version the suite sees: major in the low byte, minor in the next, the build in
// the high word. We answer as Windows XP (5.1, build 2600), which the suite's version checks
// accept.
DWORD GetVersion();

VLT_EXPORT_END
