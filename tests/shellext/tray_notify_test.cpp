// The unlock key load tells the tray program: every successful private-key load sends
// TrayUnlockedMessage (0x410, both parameters 0) to the window titled "Vaultine Tray"; a failed
// load and a lock send nothing.
#include <gtest/gtest.h>

#include <vector>

#include "support/fixtures.h"
#include "win32/winuser.h"
#include "support/world/world.h"

namespace vlt::test {
namespace {

struct Heard {
    UINT msg;
    WPARAM wParam;
    LPARAM lParam;
};
std::vector<Heard> g_heard;

LRESULT trayProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg >= WM_USER) g_heard.push_back({msg, wParam, lParam});
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

// A stand-in for the tray program's window in this process.
class FakeTray {
public:
    FakeTray() {
        static const bool registered = [] {
            WNDCLASSA wc{};
            wc.lpfnWndProc = trayProc;
            wc.lpszClassName = "FakeTrayWindow";
            return RegisterClassA(&wc) != 0;
        }();
        EXPECT_TRUE(registered);
        m_hwnd = CreateWindowExA(WS_EX_TOOLWINDOW, "FakeTrayWindow", "Vaultine Tray", 0, 1, 1, 0, 0, nullptr, nullptr,
                                 nullptr, nullptr);
        g_heard.clear();
    }
    ~FakeTray() { DestroyWindow(m_hwnd); }
    std::size_t unlocks() const {
        std::size_t n = 0;
        for (const auto& h : g_heard) {
            EXPECT_EQ(h.msg, 0x410u);
            EXPECT_EQ(h.wParam, 0u);
            EXPECT_EQ(h.lParam, 0);
            n += h.msg == 0x410u;
        }
        return n;
    }

private:
    HWND m_hwnd = nullptr;
};

TEST(TrayNotification, EveryUnlockedFileIsReportedToTheTray) {
    World w;
    FakeTray tray;
    const std::string a = w.path("a.bin.Vtf");
    const std::string b = w.path("b.bin.Vtf");
    writeFile(a, fixture("locked/enhanced/len-160.bin.Vtf"));
    writeFile(b, fixture("locked/base/len-1000.bin.Vtf"));
    ASSERT_TRUE(w.unlock({a, b}, kOwnerPassword).allDone()) << w.ui().transcriptText();
    EXPECT_EQ(tray.unlocks(), 2u) << "one per file, from the password or from the cache";
}

TEST(TrayNotification, WrongPasswordAndLockingSendNothing) {
    World w;
    FakeTray tray;
    const std::string locked = w.path("a.bin.Vtf");
    writeFile(locked, fixture("locked/enhanced/len-160.bin.Vtf"));
    EXPECT_FALSE(w.unlock({locked}, "not the password").allDone());
    const std::string plain = w.path("plain.txt");
    writeFile(plain, std::string("some text"));
    ASSERT_TRUE(w.lock({plain}).allDone()) << w.ui().transcriptText();
    EXPECT_EQ(tray.unlocks(), 0u);
}

TEST(TrayNotification, WithoutATrayTheUnlockStillWorks) {
    World w;
    const std::string locked = w.path("a.bin.Vtf");
    writeFile(locked, fixture("locked/enhanced/len-160.bin.Vtf"));
    ASSERT_TRUE(w.unlock({locked}, kOwnerPassword).allDone());
    EXPECT_TRUE(w.cachePresent());
}

}  // namespace
}  // namespace vlt::test
