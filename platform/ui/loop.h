// Message-loop helpers beyond the Win32 calls, for tests and front ends.
#pragma once

#include <cstddef>

#include "base/export.h"
#include "win32/winuser.h"

VLT_EXPORT_BEGIN

namespace vlt::ui {

// Handles everything due on the calling thread without waiting: messages sent by other
// threads, posted messages (dispatched), injected input, and timers due on the process clock
// (base/clock.h) -- one WM_TIMER per elapsed period, so advancing a ManualClock by three
// periods and pumping delivers three. A pending WM_QUIT stays queued. Returns how many
// posted and timer messages were dispatched.
std::size_t pumpMessages();

// The process clock jumped (a test advanced its ManualClock): message loops that are waiting
// on other threads look at their timers again instead of sleeping until their old deadline.
void clockChanged();

// Called by the modal loops (dialogs, property sheets) with each message before it is
// dispatched; true = eaten. One for the process (the framework's PreTranslateMessage).
using MessageFilter = bool (*)(MSG* msg);
void setMessageFilter(MessageFilter filter);

}  // namespace vlt::ui

VLT_EXPORT_END
