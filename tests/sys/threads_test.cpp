// Threads as kernel32 hands them out: suspended until resumed, exit codes through the handle,
// waits that time out, handles closed before the thread ends.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "win32/winbase.h"

namespace vlt::test {
namespace {

constexpr DWORD kStillActive = 259;

struct Gate {
    std::atomic<bool> open{false};
    std::atomic<bool> ran{false};
    std::atomic<bool> done{false};
    std::atomic<DWORD> id{0};
    DWORD exitCode = 0;
};

DWORD gated(LPVOID p) {
    auto* g = static_cast<Gate*>(p);
    g->id = GetCurrentThreadId();
    g->ran = true;
    while (!g->open) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    g->done = true;
    return g->exitCode;
}

struct ThreadCase {
    const char* name;
    DWORD flags;
    DWORD exitCode;
};

class Threads : public ::testing::TestWithParam<ThreadCase> {};

TEST_P(Threads, RunWhenResumedAndEndWithTheirExitCode) {
    Gate gate;
    gate.exitCode = GetParam().exitCode;
    const bool suspended = (GetParam().flags & CREATE_SUSPENDED) != 0;
    DWORD id = 0;
    const HANDLE h = CreateThread(nullptr, 0, gated, &gate, GetParam().flags, &id);
    ASSERT_NE(h, nullptr);
    EXPECT_NE(id, 0u);
    EXPECT_NE(id, GetCurrentThreadId());

    EXPECT_EQ(WaitForSingleObject(h, 0), static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_EQ(WaitForSingleObject(h, 20), static_cast<DWORD>(WAIT_TIMEOUT));
    if (suspended) {
        EXPECT_FALSE(gate.ran) << "a suspended thread must not run its routine";
    }
    DWORD code = 0;
    ASSERT_TRUE(GetExitCodeThread(h, &code));
    EXPECT_EQ(code, kStillActive);

    EXPECT_EQ(ResumeThread(h), suspended ? 1u : 0u);
    EXPECT_EQ(ResumeThread(h), 0u);
    while (!gate.ran) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_EQ(gate.id.load(), id);
    gate.open = true;
    EXPECT_EQ(WaitForSingleObject(h, INFINITE), static_cast<DWORD>(WAIT_OBJECT_0));
    EXPECT_EQ(WaitForSingleObject(h, 0), static_cast<DWORD>(WAIT_OBJECT_0)) << "a second wait";
    ASSERT_TRUE(GetExitCodeThread(h, &code));
    EXPECT_EQ(code, GetParam().exitCode);
    EXPECT_TRUE(CloseHandle(h));
}

INSTANTIATE_TEST_SUITE_P(Kernel32, Threads,
                         ::testing::Values(ThreadCase{"Running", 0, 0}, ThreadCase{"Suspended", CREATE_SUSPENDED, 7},
                                           ThreadCase{"SuspendedFailing", CREATE_SUSPENDED, 0xC0000005u}),
                         [](const auto& p) { return std::string(p.param.name); });

TEST(ThreadHandles, AThreadRunsOnAfterItsHandleIsClosed) {
    static Gate gate;  // outlives the test in case the thread does
    const HANDLE h = CreateThread(nullptr, 0, gated, &gate, 0, nullptr);
    ASSERT_NE(h, nullptr);
    EXPECT_TRUE(CloseHandle(h));
    gate.open = true;
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!gate.done && std::chrono::steady_clock::now() < until) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_TRUE(gate.done);
}

TEST(ThreadHandles, MissingArgumentsAreNamed) {
    const struct {
        const char* call;
        bool (*failed)();
        DWORD error;
    } cases[] = {
        {"CreateThread", [] { return CreateThread(nullptr, 0, nullptr, nullptr, 0, nullptr) == nullptr; },
         ERROR_INVALID_PARAMETER},
        {"ResumeThread", [] { return ResumeThread(nullptr) == static_cast<DWORD>(-1); }, ERROR_INVALID_HANDLE},
        {"WaitForSingleObject", [] { return WaitForSingleObject(nullptr, 0) == WAIT_FAILED; }, ERROR_INVALID_HANDLE},
        {"GetExitCodeThread", [] { return GetExitCodeThread(nullptr, nullptr) == FALSE; }, ERROR_INVALID_PARAMETER},
        {"CloseHandle", [] { return CloseHandle(nullptr) == FALSE; }, ERROR_INVALID_HANDLE},
    };
    for (const auto& c : cases) {
        SetLastError(ERROR_SUCCESS);
        EXPECT_TRUE(c.failed()) << c.call;
        EXPECT_EQ(GetLastError(), c.error) << c.call;
    }
}

}  // namespace
}  // namespace vlt::test
