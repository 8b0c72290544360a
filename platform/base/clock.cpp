#include "base/clock.h"

#include <atomic>
#include <ctime>

namespace vlt::base {
namespace {

class SystemClock final : public Clock {
public:
    std::uint64_t nowMs() const override {
        timespec ts{};
        // CLOCK_BOOTTIME counts suspended time too, so a countdown does not stall over a suspend.
        clock_gettime(CLOCK_BOOTTIME, &ts);
        return static_cast<std::uint64_t>(ts.tv_sec) * 1000u +
               static_cast<std::uint64_t>(ts.tv_nsec) / 1000000u;
    }
};

const SystemClock g_system;
std::atomic<const Clock*> g_clock{&g_system};

}  // namespace

const Clock& clock() { return *g_clock.load(); }
void setClock(const Clock* c) { g_clock.store(c ? c : &g_system); }

}  // namespace vlt::base
