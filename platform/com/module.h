// Module handles: a program or shared object is named by the base address it is mapped at
// (dladdr's dli_fbase), which is what HMODULE and HINSTANCE hold.
#pragma once

#include <string>

#include "base/export.h"
#include "base/result.h"
#include "win32/winuser.h"

VLT_EXPORT_BEGIN

namespace vlt::com {

// The module that contains `address` (code or data); nullptr when no loaded object does.
// A shared library passes the address of one of its own functions or variables to learn its
// own handle, as a Windows DLL keeps the handle given to its entry point.
HMODULE moduleHandleOf(const void* address);

// The file of a module handle: the program's path for the main program (or nullptr), the
// path the library was loaded from otherwise. Fails for a value that is not a module's base.
Result<std::string> moduleFileName(HMODULE module);

}  // namespace vlt::com

VLT_EXPORT_END
