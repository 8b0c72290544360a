// Real windows for the programs that link Qt, handed to the front-end choice.
#pragma once

#include "frontends/choice/frontend_choice.h"

namespace vlt::frontends {

// Makes the Qt application on the calling (main) thread and its front end. A program that
// lives without windows (the tray) keeps its event loop when the last window closes.
FrontendFactory qtWindows(bool keepRunningWithoutWindows = false);

}  // namespace vlt::frontends
