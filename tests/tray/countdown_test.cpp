// The tray window's lock state and countdown on a manual clock: start-up, the countdown's
// arithmetic, unlock notifications with automatic locking on and off, a new period, and the
// cache followed when another program changes it.
#include <gtest/gtest.h>

#include "registry/hives.h"
#include "shared/registry_key.h"
#include "shared/registry_layout.h"
#include "shared/tray_messages.h"
#include "tray/messages.h"
#include "tray_support.h"
#include "win32/winuser.h"

namespace vlt::test {
namespace {

using Countdown = TrayTest;

TEST_F(Countdown, StartLocksTheProfileAndShowsTheLockedIcon) {
    fillCache();
    ASSERT_TRUE(start());
    EXPECT_FALSE(cachePresent(layout::kTempExchangeBlob1));
    EXPECT_FALSE(cachePresent(layout::kTempExchangeBlob2));
    EXPECT_TRUE(window().IsLocked());
    EXPECT_EQ(window().Elapsed(), 0u);
    ASSERT_NE(icon(), nullptr);
    EXPECT_EQ(icon()->iconId, 131);
    EXPECT_EQ(icon()->tip, "VLT is Locked.");
    EXPECT_EQ(icon()->id, 100u);
    EXPECT_EQ(icon()->callbackMessage, 0x040Au);

    // The hidden tool window the other programs find by its title alone.
    EXPECT_EQ(FindWindowA(nullptr, "Vaultine Tray"), hwnd());
    EXPECT_FALSE(IsWindowVisible(hwnd()));
    EXPECT_EQ(GetWindowLongPtrA(hwnd(), GWL_EXSTYLE) & WS_EX_TOOLWINDOW, WS_EX_TOOLWINDOW);
    EXPECT_EQ(std::string(window().GetRuntimeClass()->m_lpszClassName), "CTrayWindow");
}

TEST_F(Countdown, PeriodComesFromTheProfileAndIs600WhenMissingOrZero) {
    ASSERT_TRUE(start());
    EXPECT_EQ(window().CountdownLength(), 600u);
    stop();

    setProfileDword(layout::kTimeOutPeriod, 0);
    ASSERT_TRUE(start());
    EXPECT_EQ(window().CountdownLength(), 600u);
    stop();

    setProfileDword(layout::kTimeOutPeriod, 45);
    ASSERT_TRUE(start());
    EXPECT_EQ(window().CountdownLength(), 45u);
}

TEST_F(Countdown, TipCountsDownFromTheFirstTickAndTheLastTickLocks) {
    setSetting(layout::kAutoLock, 1);
    ASSERT_TRUE(start());
    tick(7);  // the countdown runs while locked too; an unlock restarts it
    unlockNotified();
    EXPECT_FALSE(window().IsLocked());
    EXPECT_EQ(window().Elapsed(), 0u);
    EXPECT_EQ(icon()->iconId, 132);
    EXPECT_EQ(icon()->tip, "VLT is Locked.") << "the tip changes at the next tick";

    tick();
    EXPECT_EQ(icon()->tip, "VLT will be locked in 599 Seconds.");
    tick(598);
    EXPECT_EQ(icon()->tip, "VLT will be locked in 1 Seconds.");
    EXPECT_TRUE(cachePresent());
    tick();
    EXPECT_FALSE(cachePresent(layout::kTempExchangeBlob1));
    EXPECT_FALSE(cachePresent(layout::kTempExchangeBlob2));
    EXPECT_TRUE(window().IsLocked());
    EXPECT_EQ(window().Elapsed(), 0u);
    EXPECT_EQ(icon()->iconId, 131);
    EXPECT_EQ(icon()->tip, "Vaultine is Locked.");
}

TEST_F(Countdown, WhileLockedTheLockRepeatsOncePerPeriod) {
    setProfileDword(layout::kTimeOutPeriod, 5);
    ASSERT_TRUE(start());
    tick(4);
    EXPECT_EQ(icon()->tip, "VLT is Locked.");
    EXPECT_EQ(window().Elapsed(), 4u);
    tick();
    EXPECT_EQ(icon()->tip, "Vaultine is Locked.");
    EXPECT_EQ(window().Elapsed(), 0u);
}

TEST_F(Countdown, ShorterPeriodThanElapsedLocksAtTheNextTick) {
    setSetting(layout::kAutoLock, 1);
    ASSERT_TRUE(start());
    unlockNotified();
    tick(100);
    EXPECT_FALSE(window().IsLocked());
    EXPECT_EQ(send(kTrayTimeoutMessage, 30), 0);
    EXPECT_EQ(window().CountdownLength(), 30u);
    EXPECT_EQ(window().Elapsed(), 100u) << "a new period does not restart the countdown";
    EXPECT_TRUE(cachePresent());
    tick();
    EXPECT_FALSE(cachePresent());
    EXPECT_TRUE(window().IsLocked());
    EXPECT_EQ(icon()->iconId, 131);
}

TEST_F(Countdown, PeriodZeroLocksAtEveryTick) {
    setSetting(layout::kAutoLock, 1);
    ASSERT_TRUE(start());
    send(kTrayTimeoutMessage, 0);
    for (int round = 0; round < 3; ++round) {
        unlockNotified();
        EXPECT_FALSE(window().IsLocked());
        tick();
        EXPECT_FALSE(cachePresent()) << "round " << round;
        EXPECT_TRUE(window().IsLocked());
    }
}

TEST_F(Countdown, AutoLockOffRemovesTheCacheAtOnceAndLeavesTheRestAlone) {
    ASSERT_TRUE(start());  // AutoLock missing counts as 0
    tick(3);
    unlockNotified();
    EXPECT_FALSE(cachePresent(layout::kTempExchangeBlob1));
    EXPECT_FALSE(cachePresent(layout::kTempExchangeBlob2));
    EXPECT_TRUE(window().IsLocked());
    EXPECT_EQ(window().Elapsed(), 3u);
    EXPECT_EQ(icon()->iconId, 131);
    EXPECT_EQ(icon()->tip, "VLT is Locked.");

    setSetting(layout::kAutoLock, 0);
    unlockNotified();
    EXPECT_FALSE(cachePresent());
    EXPECT_TRUE(window().IsLocked());
}

TEST_F(Countdown, AnyNonZeroAutoLockCountsAsOn) {
    setSetting(layout::kAutoLock, 2);
    ASSERT_TRUE(start());
    unlockNotified();
    EXPECT_TRUE(cachePresent());
    EXPECT_FALSE(window().IsLocked());
}

TEST_F(Countdown, AutoLockOnWithoutACacheValueChangesNothing) {
    setSetting(layout::kAutoLock, 1);
    ASSERT_TRUE(start());
    tick(5);
    EXPECT_EQ(send(kTrayUnlockedMessage), 0);
    EXPECT_TRUE(window().IsLocked());
    EXPECT_EQ(window().Elapsed(), 5u);
    EXPECT_EQ(icon()->iconId, 131);
    EXPECT_EQ(icon()->tip, "VLT is Locked.");
}

TEST_F(Countdown, EitherCacheValueCountsAsUnlocked) {
    setSetting(layout::kAutoLock, 1);
    ASSERT_TRUE(start());
    fillCache();
    RegistryKey k;
    ASSERT_EQ(k.Open(HKEY_CURRENT_USER, layout::kProfileKey), ERROR_SUCCESS);
    ASSERT_EQ(RegDeleteValueA(k.Handle(), layout::kTempExchangeBlob1), ERROR_SUCCESS);
    send(kTrayUnlockedMessage);
    EXPECT_FALSE(window().IsLocked());
    EXPECT_EQ(icon()->iconId, 132);
}

TEST_F(Countdown, UnlockNotificationRestartsTheCountdown) {
    setSetting(layout::kAutoLock, 1);
    setProfileDword(layout::kTimeOutPeriod, 10);
    ASSERT_TRUE(start());
    unlockNotified();
    tick(8);
    unlockNotified();  // another file unlocked
    tick(8);
    EXPECT_TRUE(cachePresent());
    EXPECT_EQ(icon()->tip, "VLT will be locked in 2 Seconds.");
    tick(2);
    EXPECT_FALSE(cachePresent());
}

TEST_F(Countdown, StatusMessageGivesSecondsLeftOrLocked) {
    setSetting(layout::kAutoLock, 1);
    ASSERT_TRUE(start());
    EXPECT_EQ(send(kTrayStatusMessage), kTrayStatusLocked);
    unlockNotified();
    EXPECT_EQ(send(kTrayStatusMessage), 600);
    tick(10);
    EXPECT_EQ(send(kTrayStatusMessage), 590);
    send(kTrayTimeoutMessage, 4);  // elapsed already beyond: nothing left until the next tick
    EXPECT_EQ(send(kTrayStatusMessage), 0);
    tick();
    EXPECT_EQ(send(kTrayStatusMessage), kTrayStatusLocked);
}

TEST_F(Countdown, CacheRemovedByAnotherProgramShowsLockedWithinATick) {
    setSetting(layout::kAutoLock, 1);
    ASSERT_TRUE(start());
    unlockNotified();
    tick(3);
    {
        // vlt profile lock, or the applet
        RegistryKey k;
        ASSERT_EQ(k.Open(HKEY_CURRENT_USER, layout::kProfileKey), ERROR_SUCCESS);
        RegDeleteValueA(k.Handle(), layout::kTempExchangeBlob1);
        RegDeleteValueA(k.Handle(), layout::kTempExchangeBlob2);
    }
    EXPECT_EQ(icon()->iconId, 132);
    tick();
    EXPECT_TRUE(window().IsLocked());
    EXPECT_EQ(icon()->iconId, 131);
    EXPECT_EQ(icon()->tip, "Vaultine is Locked.");
    EXPECT_EQ(window().Elapsed(), 4u) << "not a countdown end";
}

TEST_F(Countdown, StatusQuestionSeesARemovedCacheAtOnce) {
    setSetting(layout::kAutoLock, 1);
    ASSERT_TRUE(start());
    unlockNotified();
    RegistryKey k;
    ASSERT_EQ(k.Open(HKEY_CURRENT_USER, layout::kProfileKey), ERROR_SUCCESS);
    RegDeleteValueA(k.Handle(), layout::kTempExchangeBlob1);
    RegDeleteValueA(k.Handle(), layout::kTempExchangeBlob2);
    EXPECT_EQ(send(kTrayStatusMessage), kTrayStatusLocked);
    EXPECT_EQ(icon()->iconId, 131);
}

TEST_F(Countdown, CacheFilledWithoutTellingIsTakenAsAnUnlock) {
    setSetting(layout::kAutoLock, 1);
    ASSERT_TRUE(start());
    tick(2);
    fillCache();
    tick();
    EXPECT_FALSE(window().IsLocked());
    EXPECT_EQ(icon()->iconId, 132);
    EXPECT_EQ(icon()->tip, "VLT will be locked in 600 Seconds.");

    // With automatic locking off the same unlock is locked again at once.
    setSetting(layout::kAutoLock, 0);
    send(tray::kTraySessionMessage, static_cast<WPARAM>(tray::SessionEvent::ScreenLocked));
    fillCache();
    tick();
    EXPECT_FALSE(cachePresent());
    EXPECT_TRUE(window().IsLocked());
}

TEST_F(Countdown, StartFailsWithoutAProfileKeyAndSaysSo) {
    // A hive that cannot be made: its folder is a file.
    writeFile(m_box.root() + "/not-a-folder", std::string("x"));
    setenv("VLT_HOME", (m_box.root() + "/not-a-folder").c_str(), 1);
    registry::resetHives();
    tray::CTrayApp app;
    EXPECT_EQ(app.Main(), 1) << "the program ends at once, with a failure status";
    EXPECT_EQ(app.Window(), nullptr);
    EXPECT_EQ(FindWindowA(nullptr, "Vaultine Tray"), nullptr);
    ASSERT_EQ(messageBoxes().size(), 1u);
    EXPECT_EQ(messageBoxes()[0].caption, "VLT Emergency Report");
    EXPECT_TRUE(m_ui.trayIcons().empty());
}

}  // namespace
}  // namespace vlt::test
