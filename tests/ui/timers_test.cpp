// Timers on a manual clock: WM_TIMER comes from the message loop when a period has passed on
// the process clock, one per period, never by sleeping.
#include <atomic>
#include <thread>

#include "ui_support.h"
#include "win32/winbase.h"

namespace vlt::uitest {
namespace {

LRESULT tickProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_TIMER) {
        if (auto* rec = reinterpret_cast<Recorder*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA)))
            rec->add(Received{msg, wParam, lParam});
        return 0;
    }
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

class Timers : public ::testing::Test {
protected:
    void SetUp() override {
        registerClassOnce("VltTestTicks", tickProc);
        window = CreateWindowExA(WS_EX_TOOLWINDOW, "VltTestTicks", "Ticks", 0, 1, 1, 0, 0, GetDesktopWindow(), nullptr,
                                 testModule(), nullptr);
        ASSERT_NE(window, nullptr);
        SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&rec));
    }
    void TearDown() override {
        DestroyWindow(window);
        ui::pumpMessages();
    }
    ManualClockScope time;
    HWND window = nullptr;
    Recorder rec;
};

TEST_F(Timers, OneMessagePerElapsedPeriodUntilKilled) {
    EXPECT_EQ(SetTimer(window, 1, 1000, nullptr), 1u);
    EXPECT_EQ(ui::pumpMessages(), 0u);
    time.advance(999);
    EXPECT_EQ(ui::pumpMessages(), 0u);
    time.advance(2001);  // 3000 ms since SetTimer
    EXPECT_EQ(ui::pumpMessages(), 3u);
    const auto ticks = rec.of(WM_TIMER);
    ASSERT_EQ(ticks.size(), 3u);
    EXPECT_EQ(ticks[0].wParam, 1u);
    time.advance(500);
    EXPECT_EQ(ui::pumpMessages(), 0u) << "the next period ends at 4000";
    time.advance(500);
    EXPECT_EQ(ui::pumpMessages(), 1u);

    EXPECT_TRUE(KillTimer(window, 1));
    time.advance(5000);
    EXPECT_EQ(ui::pumpMessages(), 0u);
    EXPECT_EQ(rec.of(WM_TIMER).size(), 4u);
    EXPECT_FALSE(KillTimer(window, 1));
}

TEST_F(Timers, SettingAgainRestartsThePeriod) {
    SetTimer(window, 7, 1000, nullptr);
    time.advance(900);
    SetTimer(window, 7, 1000, nullptr);
    time.advance(900);
    EXPECT_EQ(ui::pumpMessages(), 0u);
    time.advance(100);
    EXPECT_EQ(ui::pumpMessages(), 1u);
    EXPECT_EQ(rec.of(WM_TIMER).at(0).wParam, 7u);
}

TEST_F(Timers, DestroyingTheWindowKillsItsTimers) {
    SetTimer(window, 1, 1000, nullptr);
    DestroyWindow(window);
    time.advance(3000);
    EXPECT_EQ(ui::pumpMessages(), 0u);
    EXPECT_TRUE(rec.all().empty());
    window = CreateWindowExA(0, "VltTestTicks", "", 0, 0, 0, 0, 0, nullptr, nullptr, testModule(), nullptr);
}

std::atomic<int> g_callbacks{0};
void countTicks(HWND, UINT msg, UINT_PTR, DWORD) {
    if (msg == WM_TIMER) ++g_callbacks;
}

TEST_F(Timers, ThreadTimerCallsItsProcedureThroughDispatch) {
    g_callbacks = 0;
    const UINT_PTR id = SetTimer(nullptr, 0, 250, countTicks);
    ASSERT_NE(id, 0u);
    time.advance(500);
    MSG m{};
    ASSERT_TRUE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(m.message, static_cast<UINT>(WM_TIMER));
    EXPECT_EQ(m.hwnd, nullptr);
    EXPECT_EQ(m.wParam, id);
    DispatchMessageA(&m);
    EXPECT_EQ(g_callbacks, 1);
    EXPECT_EQ(ui::pumpMessages(), 1u);
    EXPECT_EQ(g_callbacks, 2);
    EXPECT_TRUE(KillTimer(nullptr, id));
}

TEST_F(Timers, PostedTimerMessageCannotNameAProcedure) {
    g_callbacks = 0;
    // Anyone can post WM_TIMER; only procedures of live timers are called from it.
    PostMessageA(window, WM_TIMER, 5, reinterpret_cast<LPARAM>(&countTicks));
    EXPECT_EQ(ui::pumpMessages(), 1u);
    EXPECT_EQ(g_callbacks, 0);
}

TEST_F(Timers, OtherThreadsTimersAreNotDeliveredHere) {
    EXPECT_EQ(SetTimer(window, 1, 1000, nullptr), 1u);
    UINT_PTR fromOther = 1;
    std::thread t([&] { fromOther = SetTimer(window, 2, 1000, nullptr); });
    t.join();
    EXPECT_EQ(fromOther, 0u) << "a window's timers belong to its own thread";
}

LRESULT waitProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_TIMER) {
        PostQuitMessage(static_cast<int>(wParam));
        return 0;
    }
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

TEST_F(Timers, WaitingLoopWakesWhenTheClockMoves) {
    registerClassOnce("VltTestWait", waitProc);
    std::atomic<bool> armed{false};
    std::atomic<int> quitCode{-1};
    std::thread t([&] {
        HWND w = CreateWindowExA(0, "VltTestWait", "", 0, 0, 0, 0, 0, nullptr, nullptr, testModule(), nullptr);
        SetTimer(w, 42, 60 * 60 * 1000, nullptr);  // an hour: the loop must not sleep it out
        armed = true;
        MSG m{};
        while (GetMessageA(&m, nullptr, 0, 0) > 0) DispatchMessageA(&m);
        quitCode = static_cast<int>(m.wParam);
        DestroyWindow(w);
    });
    while (!armed) std::this_thread::yield();
    time.advance(60 * 60 * 1000);
    t.join();
    EXPECT_EQ(quitCode, 42);
}

}  // namespace
}  // namespace vlt::uitest
