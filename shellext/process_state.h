// The shell extension's process-wide state: one copy per process that loaded it.
#pragma once

#include <atomic>
#include <cstddef>
#include <memory>
#include <string>

#include "base/wipe.h"

namespace vlt::shellext {

class Progress;

// 1 while a command is being carried out; a second command is refused meanwhile. Taken and
// given back only through BusyGuard.
extern std::atomic<int> g_busy;

// The busy flag, held: taken in one step (a command that finds it taken is refused) and freed
// when the guard goes, wherever the command ends. Empty when the flag was already taken.
struct FreeBusyFlag {
    void operator()(std::atomic<int>* flag) const { flag->store(0); }
};
using BusyGuard = std::unique_ptr<std::atomic<int>, FreeBusyFlag>;
BusyGuard takeBusyFlag();

// Set by the progress dialog's Cancel; polled by the workers after every chunk or block.
extern std::atomic<int> g_cancel;
// The progress view of the running command, or nullptr.
extern std::atomic<Progress*> g_progress;

// The password typed last in the password dialog, in the ANSI code page. It is kept for the
// whole process: every later key load that finds no unlock cache uses it.
constexpr std::size_t kPasswordBufferSize = 100;
void setPassword(const char* ansi, std::size_t length);
// A copy of the current password (cut to 99 characters), empty when none was typed.
base::SecretBytes currentPassword();
void clearPassword();

}  // namespace vlt::shellext
