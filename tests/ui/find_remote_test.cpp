// FindWindowA among this process's windows, and the hook through which another layer reaches
// windows of other processes.
#include <map>
#include <mutex>

#include "ui/remote.h"
#include "ui_support.h"
#include "win32/winbase.h"

namespace vlt::uitest {
namespace {

LRESULT trayProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_USER + 11) return static_cast<LRESULT>(wParam) * 2;
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

TEST(FindWindow, FindsHiddenTopLevelWindowsByTitle) {
    registerClassOnce("VltTestTrayClass", trayProc);
    HWND tray = CreateWindowExA(WS_EX_TOOLWINDOW, "VltTestTrayClass", "Vaultine Tray", 0, 1, 1, 0, 0,
                                GetDesktopWindow(), nullptr, testModule(), nullptr);
    ASSERT_NE(tray, nullptr);
    ShowWindow(tray, SW_HIDE);
    EXPECT_EQ(GetParent(tray), nullptr) << "the desktop as parent makes a top-level window";
    EXPECT_EQ(FindWindowA(nullptr, "Vaultine Tray"), tray);
    EXPECT_EQ(FindWindowA("vlttesttrayclass", "Vaultine Tray"), tray) << "class names ignore case";
    EXPECT_EQ(FindWindowA("Button", "Vaultine Tray"), nullptr);
    EXPECT_EQ(FindWindowA(nullptr, "Vaultine"), nullptr) << "the whole title must match";
    EXPECT_EQ(SendMessageA(FindWindowA(nullptr, "Vaultine Tray"), WM_USER + 11, 30, 0), 60);

    HWND child = CreateWindowExA(0, "Static", "Child title", WS_CHILD, 0, 0, 1, 1, tray, nullptr, testModule(), nullptr);
    ASSERT_NE(child, nullptr);
    EXPECT_EQ(FindWindowA(nullptr, "Child title"), nullptr) << "only top-level windows";
    SetWindowTextA(tray, "Renamed");
    EXPECT_EQ(FindWindowA(nullptr, "Vaultine Tray"), nullptr);
    EXPECT_EQ(FindWindowA(nullptr, "Renamed"), tray);
    DestroyWindow(tray);
    EXPECT_EQ(FindWindowA(nullptr, "Renamed"), nullptr);
}

// A stand-in for the ipc layer.
struct FakeIpc {
    std::mutex mutex;
    std::map<HWND, std::string> titles;
    std::vector<HWND> destroyed;
    std::vector<std::pair<UINT, WPARAM>> sent;
    std::vector<std::pair<UINT, WPARAM>> posted;
    HWND proxy = reinterpret_cast<HWND>(ui::kRemoteFirst + 0x10);

    ui::RemoteHooks hooks() {
        ui::RemoteHooks h;
        h.titleChanged = [this](HWND w, const std::string&, const std::string& title) {
            std::lock_guard lock(mutex);
            titles[w] = title;
        };
        h.destroyed = [this](HWND w) {
            std::lock_guard lock(mutex);
            destroyed.push_back(w);
            titles.erase(w);
        };
        h.find = [this](const char*, const char* title) -> HWND {
            return title && std::string(title) == "Remote Tray" ? proxy : nullptr;
        };
        h.send = [this](HWND w, UINT msg, WPARAM wParam, LPARAM, LRESULT* result) {
            if (w != proxy) return false;
            std::lock_guard lock(mutex);
            sent.emplace_back(msg, wParam);
            *result = 99;
            return true;
        };
        h.post = [this](HWND w, UINT msg, WPARAM wParam, LPARAM) {
            if (w != proxy) return false;
            std::lock_guard lock(mutex);
            posted.emplace_back(msg, wParam);
            return true;
        };
        h.isWindow = [this](HWND w) { return w == proxy; };
        return h;
    }
};

class RemoteHook : public ::testing::Test {
protected:
    void SetUp() override { ui::setRemoteHooks(ipc.hooks()); }
    void TearDown() override { ui::setRemoteHooks({}); }
    FakeIpc ipc;
};

TEST_F(RemoteHook, TopLevelTitlesAreReportedUntilDestroyed) {
    registerClassOnce("VltTestTrayClass", trayProc);
    HWND untitled = CreateWindowExA(0, "VltTestTrayClass", "", 0, 0, 0, 0, 0, nullptr, nullptr, testModule(), nullptr);
    HWND tray = CreateWindowExA(0, "VltTestTrayClass", "Vaultine Tray", 0, 0, 0, 0, 0, nullptr, nullptr, testModule(),
                                nullptr);
    HWND child = CreateWindowExA(0, "Static", "no", WS_CHILD, 0, 0, 1, 1, tray, nullptr, testModule(), nullptr);
    {
        std::lock_guard lock(ipc.mutex);
        EXPECT_EQ(ipc.titles.count(untitled), 0u);
        EXPECT_EQ(ipc.titles[tray], "Vaultine Tray");
        EXPECT_EQ(ipc.titles.count(child), 0u);
    }
    SetWindowTextA(tray, "Other");
    {
        std::lock_guard lock(ipc.mutex);
        EXPECT_EQ(ipc.titles[tray], "Other");
    }
    const auto listed = ui::titledTopLevelWindows();
    bool found = false;
    for (const auto& w : listed) found = found || (w.hwnd == tray && w.title == "Other");
    EXPECT_TRUE(found);
    DestroyWindow(tray);
    DestroyWindow(untitled);
    std::lock_guard lock(ipc.mutex);
    EXPECT_EQ(ipc.destroyed, std::vector<HWND>{tray}) << "only windows that were reported";
}

TEST_F(RemoteHook, FindAndMessagesLeaveTheProcessForProxyHandles) {
    HWND remote = FindWindowA(nullptr, "Remote Tray");
    ASSERT_EQ(remote, ipc.proxy);
    EXPECT_TRUE(ui::isRemoteHandle(remote));
    EXPECT_TRUE(IsWindow(remote));
    EXPECT_EQ(SendMessageA(remote, WM_USER + 16, 0, 0), 99);
    EXPECT_TRUE(PostMessageA(remote, WM_USER + 11, 30, 0));
    HWND stale = reinterpret_cast<HWND>(ui::kRemoteFirst + 0x20);
    EXPECT_FALSE(IsWindow(stale));
    SetLastError(0);
    EXPECT_EQ(SendMessageA(stale, WM_USER + 16, 0, 0), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
    EXPECT_EQ(FindWindowA(nullptr, "Nobody"), nullptr);
    std::lock_guard lock(ipc.mutex);
    ASSERT_EQ(ipc.sent.size(), 1u);
    EXPECT_EQ(ipc.sent[0].first, static_cast<UINT>(WM_USER + 16));
    ASSERT_EQ(ipc.posted.size(), 1u);
    EXPECT_EQ(ipc.posted[0].second, 30u);
}

TEST(RemoteHookAbsent, ProxyHandlesAreNotWindows) {
    HWND proxy = reinterpret_cast<HWND>(ui::kRemoteFirst);
    EXPECT_FALSE(IsWindow(proxy));
    EXPECT_EQ(SendMessageA(proxy, WM_USER, 0, 0), 0);
    EXPECT_FALSE(PostMessageA(proxy, WM_USER, 0, 0));
    EXPECT_EQ(FindWindowA(nullptr, "Remote Tray"), nullptr);
}

}  // namespace
}  // namespace vlt::uitest
