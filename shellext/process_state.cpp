#include "shellext/process_state.h"

#include <algorithm>
#include <cstring>
#include <mutex>

#include "base/wipe.h"
#include "sys/stop_signals.h"

namespace vlt::shellext {

std::atomic<int> g_busy{0};
std::atomic<int> g_cancel{0};
std::atomic<Progress*> g_progress{nullptr};

namespace {

// A stop signal to the host presses Cancel while the progress dialog runs a worker.
struct CancelOnStopSignals {
    CancelOnStopSignals() {
        sys::addCancelTarget(&g_cancel, [] { return g_progress.load() != nullptr; });
    }
    ~CancelOnStopSignals() { sys::removeCancelTarget(&g_cancel); }
} g_cancelOnStopSignals;

std::mutex g_passwordMutex;

// In locked, no-dump memory, made on first use and kept for the process.
char* passwordBuffer() {
    static char* buffer = static_cast<char*>(base::allocateSecret(kPasswordBufferSize));
    return buffer;
}
}  // namespace

BusyGuard takeBusyFlag() {
    int free = 0;
    return BusyGuard(g_busy.compare_exchange_strong(free, 1) ? &g_busy : nullptr);
}

void setPassword(const char* ansi, std::size_t length) {
    std::lock_guard lock(g_passwordMutex);
    char* password = passwordBuffer();
    if (password == nullptr) return;
    base::secureWipe(password, kPasswordBufferSize);
    const std::size_t n = std::min(length, kPasswordBufferSize - 1);
    std::memcpy(password, ansi, n);
}

base::SecretBytes currentPassword() {
    std::lock_guard lock(g_passwordMutex);
    const char* password = passwordBuffer();
    if (password == nullptr) return {};
    return base::SecretBytes(password, strnlen(password, kPasswordBufferSize));
}

void clearPassword() {
    std::lock_guard lock(g_passwordMutex);
    if (char* password = passwordBuffer()) base::secureWipe(password, kPasswordBufferSize);
}

}  // namespace vlt::shellext
