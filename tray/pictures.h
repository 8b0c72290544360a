// The tray's icons, drawn in code: the closed padlock (locked) and the open one (unlocked).
#pragma once

#include "win32/winuser.h"

namespace vlt::tray {

// Registers icons 131 and 132 with the module that holds them.
void registerPictures(HINSTANCE module);

}  // namespace vlt::tray
