// Opening a link's target the way the card's e-mail link does: the shell first, then the
// browser registered for ".htm" with the target as its last argument; and the report of a
// target that could not be opened.
#pragma once

#include <string>

#include "win32/windef.h"

namespace vlt::applet {

// The shell's or WinExec's result: above 32 when something was started.
UINT_PTR openHyperlink(const std::string& target, int showCommand);

// "Unable to open hyperlink:\n\n" and the message for the shell's result code.
std::string hyperlinkErrorText(UINT_PTR code);

// Beeps, then shows hyperlinkErrorText in the applet's plain message box.
void reportHyperlinkError(UINT_PTR code);

}  // namespace vlt::applet
