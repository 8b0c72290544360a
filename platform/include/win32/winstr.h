// String helpers of kernel32 and user32 that follow the ANSI code page (platform/shell).
// Windows declares them in winbase.h and winuser.h.
#pragma once

#include "base/export.h"
#include "win32/windef.h"

VLT_EXPORT_BEGIN

// Upper-cases in place by the ANSI code page's rules (a letter whose capital the code page
// lacks, such as the sharp s, is left alone) and returns lpsz. A pointer whose high bits are 0
// carries one character in its low byte: the upper-case character comes back the same way.
LPSTR CharUpperA(LPSTR lpsz);

// Word-sort comparison as CompareStringA with the default locale does it: letters before
// their accented forms before the next letter, lower case before upper case, hyphens and
// apostrophes counting only when all else is equal. -1, 0 or 1. A NULL string is less than
// any other; two NULLs are equal. lstrcmpA gives 0 only for identical strings, lstrcmpiA for
// strings that differ only in case.
int lstrcmpA(LPCSTR lpString1, LPCSTR lpString2);
int lstrcmpiA(LPCSTR lpString1, LPCSTR lpString2);

VLT_EXPORT_END
