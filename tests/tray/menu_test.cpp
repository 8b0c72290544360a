// The icon's menu and its commands: which mouse actions open it, its items and the greyed
// "&Lock VLT", Lock now, Exit, Settings, Help and About, and what the session asks for.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "applet/resources.h"
#include "shared/registry_layout.h"
#include "shared/tray_messages.h"
#include "shell/execute.h"
#include "support/launches.h"
#include "tray/messages.h"
#include "tray_support.h"
#include "ui/notify_icon.h"

namespace vlt::test {
namespace {

namespace fs = std::filesystem;

const std::string kMenuLocked = "menu [E&xit=1036|&About=1037|&Help=1041|-|&Settings=1038|(&Lock VLT=1039)]";
const std::string kMenuUnlocked = "menu [E&xit=1036|&About=1037|&Help=1041|-|&Settings=1038|&Lock VLT=1039]";

class Menu : public TrayTest {
protected:
    Menu() {
        m_system = m_box.root() + "/system";
        fs::create_directories(m_system);
        setenv("VLT_SYSTEM_DIR", m_system.c_str(), 1);
    }
    ~Menu() override { unsetenv("VLT_SYSTEM_DIR"); }

    // A click on the icon, handled, with the menu answered by `command` (0: dismissed).
    void choose(UINT command, ui::IconClick click = ui::IconClick::Right) {
        m_ui.answerMenu(command);
        ASSERT_TRUE(m_ui.clickTrayIcon(click));
        pump();
    }

    std::string m_system;
};

TEST_F(Menu, BothButtonReleasesOpenItAPressAloneDoesNot) {
    ASSERT_TRUE(start());
    for (UINT alone : {WM_LBUTTONDOWN, WM_RBUTTONDOWN, WM_LBUTTONDBLCLK, WM_MOUSEMOVE}) {
        ASSERT_TRUE(m_ui.trayMouse(alone));
        pump();
    }
    EXPECT_TRUE(menus().empty());
    ASSERT_TRUE(m_ui.trayMouse(WM_LBUTTONUP));
    pump();
    EXPECT_EQ(menus().size(), 1u);
    ASSERT_TRUE(m_ui.trayMouse(WM_RBUTTONUP));
    pump();
    ASSERT_EQ(menus().size(), 2u);
    EXPECT_EQ(menus()[1], kMenuLocked + " -> none");
    ASSERT_TRUE(m_ui.clickTrayIcon(ui::IconClick::Left));
    pump();
    EXPECT_EQ(menus().size(), 3u);
    EXPECT_NE(window().PopupMenu(), nullptr) << "the last menu is kept until the next one";
}

TEST_F(Menu, LockItemIsGreyedWhileLockedOnly) {
    setSetting(layout::kAutoLock, 1);
    ASSERT_TRUE(start());
    choose(tray::kLockCommand);  // greyed: cannot be chosen
    EXPECT_TRUE(window().IsLocked());
    ASSERT_EQ(menus().size(), 1u);
    EXPECT_EQ(menus()[0], kMenuLocked + " -> none");

    unlockNotified();
    choose(0);
    ASSERT_EQ(menus().size(), 2u);
    EXPECT_EQ(menus()[1], kMenuUnlocked + " -> none");
}

TEST_F(Menu, LockNowRemovesTheCacheAndKeepsTheCountdownRunning) {
    setSetting(layout::kAutoLock, 1);
    ASSERT_TRUE(start());
    unlockNotified();
    tick(10);
    choose(tray::kLockCommand);
    EXPECT_FALSE(cachePresent(layout::kTempExchangeBlob1));
    EXPECT_FALSE(cachePresent(layout::kTempExchangeBlob2));
    EXPECT_TRUE(window().IsLocked());
    EXPECT_EQ(icon()->iconId, 131);
    EXPECT_EQ(icon()->tip, "Vaultine is Locked.");
    EXPECT_EQ(window().Elapsed(), 10u);
}

TEST_F(Menu, ExitKeepsAnUnlockedCacheAndTheNextStartRemovesIt) {
    setSetting(layout::kAutoLock, 1);
    ASSERT_TRUE(start());
    unlockNotified();
    tick(3);
    const HWND gone = hwnd();
    choose(tray::kExitCommand);
    EXPECT_FALSE(IsWindow(gone));
    EXPECT_EQ(FindWindowA(nullptr, "Vaultine Tray"), nullptr);
    EXPECT_EQ(icon(), nullptr) << "the icon leaves the notification area";
    EXPECT_TRUE(cachePresent(layout::kTempExchangeBlob1));
    EXPECT_TRUE(cachePresent(layout::kTempExchangeBlob2));
    MSG quit{};
    EXPECT_TRUE(PeekMessageA(&quit, nullptr, 0, 0, PM_NOREMOVE));
    EXPECT_EQ(quit.message, static_cast<UINT>(WM_QUIT)) << "the message loop ends";
    m_app->ExitInstance();

    tick(2000);  // no timer is left
    EXPECT_TRUE(cachePresent());
    ASSERT_TRUE(start());
    EXPECT_FALSE(cachePresent(layout::kTempExchangeBlob1));
    EXPECT_FALSE(cachePresent(layout::kTempExchangeBlob2));
}

TEST_F(Menu, SettingsWithoutTheControlPanelRunnerSaysItCannotLoadThem) {
    Launches launches;
    ASSERT_TRUE(start());
    choose(tray::kSettingsCommand);
    ASSERT_EQ(messageBoxes().size(), 1u);
    EXPECT_EQ(messageBoxes()[0].text, "An Error occured while trying to load settings.");
    EXPECT_EQ(messageBoxes()[0].caption, "VLT Status Report");
    EXPECT_EQ(messageBoxes()[0].style, static_cast<UINT>(MB_OK));
    EXPECT_TRUE(launches.list().empty());
    EXPECT_TRUE(window().IsLocked()) << "nothing else changes";
}

TEST_F(Menu, SettingsStartTheAppletThroughTheControlPanelRunner) {
    Launches launches;
    writeFile(m_system + "/vlt-control", std::string("#!/bin/sh\n"));
    fs::permissions(m_system + "/vlt-control", fs::perms::owner_all);
    writeFile(m_system + "/" + applet::kAppletFileName, std::string("ELF"));  // as installed beside it
    ASSERT_TRUE(start());
    choose(tray::kSettingsCommand);
    EXPECT_TRUE(messageBoxes().empty());
    ASSERT_EQ(launches.list().size(), 1u);
    EXPECT_EQ(launches.list()[0].program, m_system + "/vlt-control");
    ASSERT_EQ(launches.list()[0].args.size(), 1u);
    EXPECT_TRUE(fs::equivalent(launches.list()[0].args[0], m_system + "/" + applet::kAppletFileName));
}

TEST_F(Menu, HelpOpensTheHtmlGuideOrSaysItIsMissing) {
    Launches launches;
    ASSERT_TRUE(start());
    choose(tray::kHelpCommand);
    ASSERT_EQ(messageBoxes().size(), 1u);
    EXPECT_EQ(messageBoxes()[0].text, "The following help file cannot be located.\n - Vaultine.Chm");
    EXPECT_EQ(messageBoxes()[0].caption, "VLT Status Report");
    EXPECT_TRUE(launches.list().empty());

    fs::create_directories(m_system + "/help");
    writeFile(m_system + "/help/index.html", std::string("<html></html>"));
    choose(tray::kHelpCommand);
    EXPECT_EQ(messageBoxes().size(), 1u);
    ASSERT_EQ(launches.list().size(), 1u);
    EXPECT_EQ(launches.list()[0].program, "xdg-open");
    EXPECT_EQ(launches.list()[0].args, std::vector<std::string>{m_system + "/help/index.html"});
}

TEST_F(Menu, AboutNamesTheProductAndVersion) {
    ASSERT_TRUE(start());
    choose(tray::kAboutCommand);
    ASSERT_EQ(messageBoxes().size(), 1u);
    EXPECT_EQ(messageBoxes()[0].caption, "About VLT");
    EXPECT_NE(messageBoxes()[0].text.find("VLT"), std::string::npos);
    EXPECT_NE(messageBoxes()[0].text.find("1.0.0.1"), std::string::npos);
    EXPECT_EQ(messageBoxes()[0].style & MB_ICONMASK, static_cast<UINT>(MB_ICONINFORMATION));
}

TEST_F(Menu, ScriptedClicksReachTheIconOnceItIsShown) {
    ASSERT_TRUE(m_ui.loadScript("tray click right\nmenu 1037\ntray click double\n"));
    ASSERT_TRUE(start());
    pump();
    // The right click chose About; the double click's two releases opened the menu twice.
    ASSERT_EQ(menus().size(), 3u);
    EXPECT_EQ(menus()[0], kMenuLocked + " -> 1037");
    ASSERT_EQ(messageBoxes().size(), 1u);
    EXPECT_EQ(messageBoxes()[0].caption, "About VLT");
}

// ---- the session's requests -----------------------------------------------------------

struct SessionCase {
    tray::SessionEvent event;
    const char* option;
};

class Session : public TrayTest, public ::testing::WithParamInterface<SessionCase> {};

TEST_P(Session, LocksAtOnceUnlessTheOptionIsZero) {
    const auto [event, option] = GetParam();
    setSetting(layout::kAutoLock, 1);
    ASSERT_TRUE(start());

    // Missing: on.
    unlockNotified();
    tick(4);
    EXPECT_EQ(send(tray::kTraySessionMessage, static_cast<WPARAM>(event)), 0);
    EXPECT_FALSE(cachePresent());
    EXPECT_TRUE(window().IsLocked());
    EXPECT_EQ(icon()->iconId, 131);
    EXPECT_EQ(icon()->tip, "Vaultine is Locked.");

    // 0: off.
    setSetting(option, 0);
    unlockNotified();
    send(tray::kTraySessionMessage, static_cast<WPARAM>(event));
    EXPECT_TRUE(cachePresent());
    EXPECT_FALSE(window().IsLocked());

    // Any other value: on.
    setSetting(option, 2);
    send(tray::kTraySessionMessage, static_cast<WPARAM>(event));
    EXPECT_FALSE(cachePresent());
}

INSTANTIATE_TEST_SUITE_P(Events, Session,
                         ::testing::Values(SessionCase{tray::SessionEvent::ScreenLocked, layout::kLockOnScreenLock},
                                           SessionCase{tray::SessionEvent::Suspending, layout::kLockOnSuspend},
                                           SessionCase{tray::SessionEvent::SessionEnding, layout::kLockOnLogout}));

// ---- a desktop without a notification area ------------------------------------------------

using NoTray = TrayTest;

TEST_F(NoTray, StillCountsDownAndLocks) {
    m_ui.setTrayAvailable(false);
    setSetting(layout::kAutoLock, 1);
    setProfileDword(layout::kTimeOutPeriod, 20);
    ASSERT_TRUE(start());
    EXPECT_FALSE(window().Icon().Enabled());
    unlockNotified();
    EXPECT_FALSE(window().IsLocked());
    EXPECT_EQ(send(kTrayStatusMessage), 20);
    tick(19);
    EXPECT_TRUE(cachePresent());
    tick();
    EXPECT_FALSE(cachePresent());
    EXPECT_TRUE(window().IsLocked());
}

TEST_F(NoTray, IconIsTriedAgainAndShowsTheStateOfThatMoment) {
    m_ui.setTrayAvailable(false);
    setSetting(layout::kAutoLock, 1);
    ASSERT_TRUE(start());
    tick(3);  // tried at 1, 2 and 3 s: still none
    EXPECT_EQ(icon(), nullptr);
    unlockNotified();
    m_ui.setTrayAvailable(true);  // the panel started late
    tick();
    EXPECT_EQ(icon(), nullptr) << "not before the next try";
    tick();  // 5 s after start
    ASSERT_NE(icon(), nullptr);
    EXPECT_TRUE(window().Icon().Enabled());
    EXPECT_EQ(icon()->iconId, 132);
    EXPECT_EQ(icon()->tip, "VLT will be locked in 598 Seconds.");
    tick();
    EXPECT_EQ(icon()->tip, "VLT will be locked in 597 Seconds.");
    const std::string text = m_ui.transcriptText();
    EXPECT_EQ(text.find("notification ["), std::string::npos);
}

TEST_F(NoTray, SaysOnceWithinSecondsAndALatePanelStillGetsTheIcon) {
    m_ui.setTrayAvailable(false);
    ASSERT_TRUE(start());
    tick(4);
    EXPECT_EQ(m_ui.transcriptText().find("notification ["), std::string::npos);
    tick();  // a few seconds, not a minute
    EXPECT_NE(m_ui.transcriptText().find("notification [VLT runs without a tray icon]"), std::string::npos);
    tick(20);
    EXPECT_EQ(icon(), nullptr);
    m_ui.setTrayAvailable(true);
    tick(10);  // the try at 30 s
    ASSERT_NE(icon(), nullptr);
    EXPECT_EQ(icon()->iconId, 131);
    tick(300);
    const std::string text = m_ui.transcriptText();
    const auto first = text.find("notification [");
    EXPECT_EQ(text.find("notification [", first + 1), std::string::npos) << "once only";
}

}  // namespace
}  // namespace vlt::test
