// End to end through the window runtime: FindWindowA and SendMessageA in this process reach a
// real window of another process, as the shell extension and the applet reach the tray program.
#include <unistd.h>

#include <gtest/gtest.h>

#include "ipc/ipc.h"
#include "peer_process.h"
#include "support/sandbox.h"
#include "ui/remote.h"
#include "win32/winbase.h"
#include "win32/winuser.h"

namespace vlt::test {
namespace {

constexpr UINT kTrayUnlockedMessage = WM_USER + 16;
constexpr UINT kTrayTimeoutMessage = WM_USER + 11;

class WindowsOfOtherProcesses : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override { ASSERT_TRUE(ipc::enable()); }
    void TearDown() override { ipc::disable(); }
    Sandbox sandbox;
};

TEST_P(WindowsOfOtherProcesses, TheTrayWindowIsFoundByTitleAndAnswers) {
    EXPECT_EQ(FindWindowA(nullptr, "Vaultine Tray"), nullptr) << "no window, nothing to send to";

    PeerProcess tray;
    std::vector<std::string> args = {"window", "Vaultine Tray", "1234"};
    if (GetParam()) args.push_back("late");
    ASSERT_TRUE(tray.start(args));
    ASSERT_EQ(tray.readLine(), "ready");

    const HWND hwnd = FindWindowA(nullptr, "Vaultine Tray");
    ASSERT_NE(hwnd, nullptr);
    EXPECT_TRUE(ui::isRemoteHandle(hwnd));
    EXPECT_TRUE(IsWindow(hwnd));
    EXPECT_EQ(FindWindowA("VLTTestTray", "Vaultine Tray"), hwnd);
    EXPECT_EQ(FindWindowA(nullptr, "Vaultine"), nullptr);

    EXPECT_EQ(SendMessageA(hwnd, kTrayUnlockedMessage, 0, 0), 1234);
    EXPECT_EQ(tray.readLine(), "send 1040 0 0");
    EXPECT_EQ(SendMessageA(hwnd, kTrayTimeoutMessage, 30, 0), 1234);
    EXPECT_EQ(tray.readLine(), "send 1035 30 0");

    SetLastError(0);
    EXPECT_EQ(SendMessageA(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("x")), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));

    // The tray program ends: its window is gone for everyone.
    EXPECT_EQ(tray.finish(), 0);
    SetLastError(0);
    EXPECT_EQ(SendMessageA(hwnd, kTrayUnlockedMessage, 0, 0), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
    EXPECT_FALSE(IsWindow(hwnd));
    EXPECT_EQ(FindWindowA(nullptr, "Vaultine Tray"), nullptr);
}

INSTANTIATE_TEST_SUITE_P(EnabledBeforeOrAfterTheWindow, WindowsOfOtherProcesses, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& p) {
                             return p.param ? "EnabledAfter" : "EnabledBefore";
                         });

TEST(IpcEnable, IsIdempotentAndRefusesADirectoryOfAnotherUser) {
    Sandbox sandbox;
    ASSERT_TRUE(ipc::enable());
    EXPECT_TRUE(ipc::enable());
    ipc::disable();
    ipc::disable();

    if (geteuid() != 0) GTEST_SKIP() << "needs root to make a directory of another user";
    const std::string windows = sandbox.runtime() + "/windows";
    ASSERT_EQ(chown(windows.c_str(), 65534, 65534), 0);
    const auto refused = ipc::enable();
    ASSERT_FALSE(refused);
    EXPECT_NE(refused.error().message.find("another user"), std::string::npos) << refused.error().message;
}

}  // namespace
}  // namespace vlt::test
