// Module file names. A module handle (HMODULE, HINSTANCE) is the base address at which the
// program or shared object is mapped (dladdr's dli_fbase); see com/module.h.
#pragma once

#include "base/export.h"
#include "win32/windef.h"
#include "win32/winerror.h"
#include "win32/winuser.h"

VLT_EXPORT_BEGIN

#ifndef ERROR_MOD_NOT_FOUND
#define ERROR_MOD_NOT_FOUND 126L
#endif

// The full path of the module (NULL: the program). Returns the length without the terminator;
// when the buffer is too small the path is cut, terminated, nSize is returned and the last
// error is ERROR_INSUFFICIENT_BUFFER. 0 with ERROR_MOD_NOT_FOUND for a handle that is not a
// module's base address.
DWORD GetModuleFileNameA(HMODULE hModule, LPSTR lpFilename, DWORD nSize);

VLT_EXPORT_END
