// The notification-area pieces under the tray: Shell_NotifyIconA's rules as the runtime keeps
// them, CTrayIcon's record, and the framework's run-time classes and windows.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "frontends/headless/headless_frontend.h"
#include "tray/tray_icon.h"
#include "ui/framework.h"
#include "ui/frontend.h"
#include "ui/loop.h"
#include "ui/notify_icon.h"
#include "ui/resources.h"
#include "win32/shellapi.h"
#include "win32/sysinfoapi.h"
#include "win32/winbase.h"
#include "win32/wingdi.h"

namespace vlt::test {
namespace {

constexpr UINT kCallback = WM_USER + 10;
constexpr int kPicture = 901;  // not the tray's own numbers, which the tray tests register

struct Received {
    UINT msg;
    WPARAM wParam;
    LPARAM lParam;
};
std::vector<Received> g_received;

LRESULT recordingProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg >= WM_USER) g_received.push_back({msg, wParam, lParam});
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

class NotifyIcon : public ::testing::Test {
protected:
    NotifyIcon() {
        ui::setFrontend(&m_ui);
        static const bool registered = [] {
            WNDCLASSA wc{};
            wc.lpfnWndProc = recordingProc;
            wc.lpszClassName = "NotifyIconTestOwner";
            return RegisterClassA(&wc) != 0;
        }();
        EXPECT_TRUE(registered);
        m_owner = CreateWindowExA(0, "NotifyIconTestOwner", "owner", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
        ui::registerIcon(module(), kPicture, ui::Image{2, 2, {1, 2, 3, 4}});
        g_received.clear();
    }
    ~NotifyIcon() override {
        if (IsWindow(m_owner)) DestroyWindow(m_owner);
        ui::pumpMessages();
        ui::setFrontend(nullptr);
    }
    static HINSTANCE module() { return ui::moduleOf(reinterpret_cast<const void*>(&recordingProc)); }

    NOTIFYICONDATAA record(UINT id, UINT flags, const char* tip = "") {
        NOTIFYICONDATAA d{};
        d.cbSize = NOTIFYICONDATAA_V1_SIZE;
        d.hWnd = m_owner;
        d.uID = id;
        d.uFlags = flags;
        d.uCallbackMessage = kCallback;
        d.hIcon = LoadIconA(module(), MAKEINTRESOURCEA(kPicture));
        std::memcpy(d.szTip, tip, std::min(std::strlen(tip), sizeof d.szTip - 1));
        return d;
    }

    frontends::HeadlessFrontend m_ui;
    HWND m_owner = nullptr;
};

TEST_F(NotifyIcon, AddModifyDeleteFollowWindowsRules) {
    auto d = record(7, NIF_MESSAGE | NIF_ICON | NIF_TIP, "first");
    EXPECT_FALSE(Shell_NotifyIconA(NIM_MODIFY, &d)) << "not there yet";
    EXPECT_FALSE(Shell_NotifyIconA(NIM_DELETE, &d));
    ASSERT_TRUE(Shell_NotifyIconA(NIM_ADD, &d));
    EXPECT_FALSE(Shell_NotifyIconA(NIM_ADD, &d)) << "already there";
    ASSERT_EQ(m_ui.trayIcons().size(), 1u);
    EXPECT_EQ(m_ui.trayIcons()[0].tip, "first");
    EXPECT_EQ(m_ui.trayIcons()[0].iconId, kPicture);

    // Only the flagged fields change.
    auto tipOnly = record(7, NIF_TIP, "second");
    tipOnly.hIcon = nullptr;
    tipOnly.uCallbackMessage = 0;
    ASSERT_TRUE(Shell_NotifyIconA(NIM_MODIFY, &tipOnly));
    EXPECT_EQ(m_ui.trayIcons()[0].tip, "second");
    EXPECT_EQ(m_ui.trayIcons()[0].iconId, kPicture);
    EXPECT_EQ(m_ui.trayIcons()[0].callbackMessage, kCallback);

    ASSERT_TRUE(Shell_NotifyIconA(NIM_DELETE, &d));
    EXPECT_TRUE(m_ui.trayIcons().empty());
    EXPECT_FALSE(ui::notifyIconEvent(m_owner, 7, WM_LBUTTONUP));
}

TEST_F(NotifyIcon, RefusesBadRecordsAndOwners) {
    auto d = record(1, NIF_TIP);
    d.cbSize = 40;
    EXPECT_FALSE(Shell_NotifyIconA(NIM_ADD, &d));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    d.cbSize = sizeof(NOTIFYICONDATAA);
    EXPECT_FALSE(Shell_NotifyIconA(7, &d));
    EXPECT_FALSE(Shell_NotifyIconA(NIM_ADD, nullptr));
    d.hWnd = reinterpret_cast<HWND>(static_cast<std::uintptr_t>(0x7777));
    EXPECT_FALSE(Shell_NotifyIconA(NIM_ADD, &d));
    d = record(1, NIF_ICON);
    d.hIcon = reinterpret_cast<HICON>(static_cast<std::uintptr_t>(0x5555));
    EXPECT_FALSE(Shell_NotifyIconA(NIM_ADD, &d)) << "an icon handle that names no icon";
    EXPECT_TRUE(m_ui.trayIcons().empty());
}

TEST_F(NotifyIcon, TipIsCutAt63CharactersEvenWithoutATerminator) {
    auto d = record(2, NIF_TIP);
    std::memset(d.szTip, 'x', sizeof d.szTip);  // no terminator at all
    ASSERT_TRUE(Shell_NotifyIconA(NIM_ADD, &d));
    EXPECT_EQ(m_ui.trayIcons()[0].tip, std::string(63, 'x'));
}

TEST_F(NotifyIcon, DesktopWithoutTrayRefusesAndKeepsNothing) {
    m_ui.setTrayAvailable(false);
    auto d = record(3, NIF_MESSAGE | NIF_ICON | NIF_TIP, "t");
    EXPECT_FALSE(Shell_NotifyIconA(NIM_ADD, &d));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_SUPPORTED));
    EXPECT_FALSE(Shell_NotifyIconA(NIM_MODIFY, &d)) << "a refused icon does not exist";
    EXPECT_TRUE(ui::notifyIcons().empty());
    m_ui.setTrayAvailable(true);
    EXPECT_TRUE(Shell_NotifyIconA(NIM_ADD, &d));
}

TEST_F(NotifyIcon, MouseActionsArriveAsTheCallbackMessage) {
    auto d = record(9, NIF_MESSAGE | NIF_TIP, "t");
    ASSERT_TRUE(Shell_NotifyIconA(NIM_ADD, &d));
    ASSERT_TRUE(m_ui.clickTrayIcon(ui::IconClick::Double));
    ui::pumpMessages();
    const std::vector<LPARAM> expected{WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_LBUTTONUP};
    ASSERT_EQ(g_received.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(g_received[i].msg, kCallback);
        EXPECT_EQ(g_received[i].wParam, 9u);
        EXPECT_EQ(g_received[i].lParam, expected[i]);
    }

    // An icon that asked for no callback gets none.
    auto silent = record(10, NIF_TIP, "quiet");
    ASSERT_TRUE(Shell_NotifyIconA(NIM_ADD, &silent));
    EXPECT_FALSE(ui::notifyIconEvent(m_owner, 10, WM_LBUTTONUP));
}

TEST_F(NotifyIcon, IconGoesWithItsOwnerWindow) {
    auto d = record(4, NIF_TIP, "t");
    ASSERT_TRUE(Shell_NotifyIconA(NIM_ADD, &d));
    DestroyWindow(m_owner);
    EXPECT_TRUE(m_ui.trayIcons().empty());
    EXPECT_TRUE(ui::notifyIcons().empty());
    EXPECT_NE(m_ui.transcriptText().find("tray delete"), std::string::npos);
}

TEST_F(NotifyIcon, VersionPassesTheSuitesCheck) {
    const DWORD v = GetVersion();
    EXPECT_GE(LOBYTE(LOWORD(v)), 4);
    EXPECT_EQ(v & 0x80000000u, 0u) << "an NT system";
}

// ---- CTrayIcon -------------------------------------------------------------------------------

class TrayIconRecord : public NotifyIcon {};

TEST_F(TrayIconRecord, AddFillsTheRecordAsTheWin32OriginalDid) {
    tray::CTrayIcon icon;
    const HICON locked = LoadIconA(module(), MAKEINTRESOURCEA(kPicture));
    ASSERT_TRUE(icon.AddIcon(m_owner, kCallback, "VLT is Locked.", locked, 100));
    EXPECT_TRUE(icon.Enabled());
    EXPECT_EQ(icon.Data().cbSize, 88u);
    EXPECT_EQ(icon.Data().uFlags, 7u);
    EXPECT_EQ(icon.Data().uID, 100u);
    EXPECT_EQ(icon.Data().uCallbackMessage, 0x040Au);
    EXPECT_EQ(icon.Data().hIcon, locked);
    EXPECT_STREQ(icon.Data().szTip, "VLT is Locked.");

    const std::string tooLong(80, 'a');
    ASSERT_TRUE(icon.ChangeTip(tooLong.c_str()));
    EXPECT_EQ(icon.Data().uFlags, static_cast<UINT>(NIF_TIP));
    EXPECT_EQ(m_ui.trayIcons()[0].tip, std::string(63, 'a'));
    EXPECT_TRUE(icon.RemoveIcon());
    EXPECT_FALSE(icon.Enabled());
    EXPECT_TRUE(m_ui.trayIcons().empty());
}

TEST_F(TrayIconRecord, WithoutAnOwnerOrAnIconNothingChanges) {
    tray::CTrayIcon icon;
    EXPECT_FALSE(icon.AddIcon(nullptr, kCallback, "x", nullptr, 100));
    EXPECT_FALSE(icon.Enabled());
    EXPECT_FALSE(icon.ChangeTip("y"));
    EXPECT_FALSE(icon.ChangeIcon(static_cast<UINT>(132)));
    EXPECT_FALSE(icon.RemoveIcon());
    EXPECT_TRUE(m_ui.transcript().empty()) << "nothing reached the notification area";
}

TEST_F(TrayIconRecord, DestructorRemovesTheIcon) {
    {
        tray::CTrayIcon icon;
        ASSERT_TRUE(icon.AddIcon(m_owner, kCallback, "x", nullptr, 100));
        EXPECT_EQ(m_ui.trayIcons().size(), 1u);
    }
    EXPECT_TRUE(m_ui.trayIcons().empty());
}

TEST_F(TrayIconRecord, RuntimeClassIsNamedAndDerivesFromTheBaseObject) {
    tray::CTrayIcon icon;
    EXPECT_STREQ(icon.GetRuntimeClass()->m_lpszClassName, "CTrayIcon");
    EXPECT_TRUE(icon.IsKindOf(ui::CObject::runtimeClass()));
    EXPECT_FALSE(icon.IsKindOf(ui::CWnd::runtimeClass()));
}

// ---- the framework's windows --------------------------------------------------------------

class Probe : public ui::CWnd {
public:
    int refuseCreate = 0;
    std::vector<UINT> seen;

protected:
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override {
        seen.push_back(msg);
        if (msg == WM_CREATE && refuseCreate) return -1;
        if (msg == WM_USER + 1) return static_cast<LRESULT>(wParam + 1);
        return ui::CWnd::WindowProc(msg, wParam, lParam);
    }
};

TEST(Framework, WindowMessagesReachTheObjectFromCreationToTheEnd) {
    ui::CWinApp app("FrameworkTest", nullptr);
    const std::string cls = ui::AfxRegisterWndClass(CS_BYTEALIGNCLIENT, nullptr,
                                                    static_cast<HBRUSH>(GetStockObject(NULL_BRUSH)), nullptr);
    ASSERT_FALSE(cls.empty());
    EXPECT_EQ(ui::AfxRegisterWndClass(CS_BYTEALIGNCLIENT, nullptr, static_cast<HBRUSH>(GetStockObject(NULL_BRUSH)), nullptr),
              cls)
        << "registered once";

    Probe probe;
    ASSERT_TRUE(probe.CreateEx(0, cls.c_str(), "probe", 0, 0, 0, 0, 0, nullptr, nullptr));
    ASSERT_NE(probe.m_hWnd, nullptr);
    EXPECT_EQ(probe.seen.front(), static_cast<UINT>(WM_CREATE));
    EXPECT_EQ(ui::CWnd::FromHandlePermanent(probe.m_hWnd), &probe);
    EXPECT_EQ(probe.SendMessage(WM_USER + 1, 41), 42);
    char title[16] = {};
    GetWindowTextA(probe.m_hWnd, title, sizeof title);
    EXPECT_STREQ(title, "probe") << "unhandled messages get the default handling";

    app.m_pMainWnd = &probe;
    const HWND hwnd = probe.m_hWnd;
    probe.DestroyWindow();
    EXPECT_EQ(probe.m_hWnd, nullptr);
    EXPECT_EQ(ui::CWnd::FromHandlePermanent(hwnd), nullptr);
    EXPECT_EQ(probe.seen.back(), static_cast<UINT>(WM_NCDESTROY));
    EXPECT_EQ(app.m_pMainWnd, nullptr);
    MSG quit{};
    ASSERT_TRUE(PeekMessageA(&quit, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(quit.message, static_cast<UINT>(WM_QUIT)) << "the main window's end ends the loop";

    Probe refused;
    refused.refuseCreate = 1;
    EXPECT_FALSE(refused.CreateEx(0, cls.c_str(), "refused", 0, 0, 0, 0, 0, nullptr, nullptr));
    EXPECT_EQ(refused.m_hWnd, nullptr);
    EXPECT_EQ(FindWindowA(nullptr, "refused"), nullptr);
}

TEST(Framework, AppMessageBoxCarriesTheModuleName) {
    frontends::HeadlessFrontend headless;
    ui::setFrontend(&headless);
    ui::CWinApp app("VTTray32", nullptr);
    ui::AfxMessageBox("text");
    ui::setFrontend(nullptr);
    ASSERT_EQ(headless.messageBoxes().size(), 1u);
    EXPECT_EQ(headless.messageBoxes()[0].caption, "VTTray32");
    EXPECT_EQ(ui::AfxGetApp(), &app);
}

}  // namespace
}  // namespace vlt::test
