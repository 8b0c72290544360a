// Dialogs of the gallery's own, one of each control kind, for reviewing the Qt front end
// before (and beside) the deliverables' dialogs.
#pragma once

#include "win32/winuser.h"

namespace vlt::gallery {

inline constexpr int kDemoIcon = 1;
inline constexpr int kDemoClip = 2;

// Registers the demo templates, their icon and clip under `module`.
void registerDemoDialogs(HINSTANCE module);

}  // namespace vlt::gallery
