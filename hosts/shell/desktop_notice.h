// A failure said where the user looks. A file manager starts vlt-shell with its standard error
// going nowhere anyone reads, so a failure that no window showed is also put in a desktop
// notification (the org.freedesktop.Notifications service, through notify-send or gdbus).
#pragma once

#include <string>

namespace vlt::host {

// Whether standard error reaches nobody who would read it: it is not a terminal.
bool standardErrorUnseen();

// Shows the text in a desktop notification titled "VLT". Waits a few seconds at most; false
// when no notifier was there or it failed.
bool notifyDesktop(const std::string& text);

}  // namespace vlt::host
