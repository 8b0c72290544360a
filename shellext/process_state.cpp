#include "shellext/process_state.h"

#include <algorithm>
#include <cstring>
#include <mutex>

#include "base/wipe.h"

namespace vlt::shellext {

std::atomic<int> g_busy{0};
std::atomic<int> g_cancel{0};
std::atomic<Progress*> g_progress{nullptr};

namespace {
std::mutex g_passwordMutex;
char g_password[kPasswordBufferSize] = {};
}  // namespace

void setPassword(const char* ansi, std::size_t length) {
    std::lock_guard lock(g_passwordMutex);
    base::secureWipe(g_password, sizeof g_password);
    const std::size_t n = std::min(length, kPasswordBufferSize - 1);
    std::memcpy(g_password, ansi, n);
}

std::string currentPassword() {
    std::lock_guard lock(g_passwordMutex);
    return std::string(g_password, strnlen(g_password, kPasswordBufferSize));
}

void clearPassword() {
    std::lock_guard lock(g_passwordMutex);
    base::secureWipe(g_password, sizeof g_password);
}

}  // namespace vlt::shellext
