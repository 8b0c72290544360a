// The kernel32 state platform/base keeps: the last error per thread, the tick count from the
// process's clock, the version the suite checks.
#include <gtest/gtest.h>

#include <thread>

#include "base/clock.h"
#include "win32/sysinfoapi.h"
#include "win32/winbase.h"

namespace vlt::base {
namespace {

TEST(Kernel32, EachThreadKeepsItsOwnLastError) {
    SetLastError(ERROR_ACCESS_DENIED);
    DWORD seenAtStart = 1;
    DWORD seenAfterSet = 0;
    std::thread other([&] {
        seenAtStart = GetLastError();
        SetLastError(ERROR_DISK_FULL);
        seenAfterSet = GetLastError();
    });
    other.join();
    EXPECT_EQ(seenAtStart, static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_EQ(seenAfterSet, static_cast<DWORD>(ERROR_DISK_FULL));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
}

TEST(Kernel32, TickCountFollowsTheInstalledClockAndWrapsAt32Bits) {
    const struct {
        std::uint64_t ms;
        DWORD ticks;
    } cases[] = {{0, 0}, {1234, 1234}, {0xFFFFFFFFull, 0xFFFFFFFFu}, {0x100000005ull, 5}};
    ManualClock manual;
    setClock(&manual);
    for (const auto& c : cases) {
        manual.setMs(c.ms);
        EXPECT_EQ(clock().nowMs(), c.ms);
        EXPECT_EQ(GetTickCount(), c.ticks) << c.ms;
    }
    manual.setMs(7);
    setClock(nullptr);  // the system clock again: the machine has been up longer than 7 ms
    const std::uint64_t first = clock().nowMs();
    EXPECT_GT(first, 7u);
    EXPECT_GE(clock().nowMs(), first);
}

TEST(Kernel32, VersionIsWindowsXpOnNt) {
    const DWORD v = GetVersion();
    EXPECT_EQ(LOBYTE(LOWORD(v)), 5);
    EXPECT_EQ(HIBYTE(LOWORD(v)), 1);
    EXPECT_EQ(HIWORD(v) & 0x7FFF, 2600);
    EXPECT_EQ(v & 0x80000000u, 0u);
}

}  // namespace
}  // namespace vlt::base
