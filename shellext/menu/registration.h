// Registering the shell extension: its class, the context-menu handler for every file, and
// the file type of locked files.
#pragma once

#include "win32/windef.h"
#include "win32/winerror.h"
#include "win32/winuser.h"

namespace vlt::shellext {

HRESULT registerServer(HINSTANCE module);
HRESULT unregisterServer();

}  // namespace vlt::shellext
