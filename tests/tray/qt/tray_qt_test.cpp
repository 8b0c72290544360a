// The tray window with the Qt front end, as VTTray32 runs it on a desktop: the session watch
// wired to the window locks the profile before sleep and on a screen lock, a desktop without a
// notification area gets one desktop notification, and the countdown goes on while a message
// box of the tray is open.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QMessageBox>
#include <QSystemTrayIcon>
#include <QTimer>
#include <functional>

#include "bus.h"
#include "frontends/qt/qt_frontend.h"
#include "frontends/qt/session_watch.h"
#include "shared/registry_layout.h"
#include "shared/tray_messages.h"
#include "tray/messages.h"
#include "tray/tray_support.h"
#include "ui/frontend.h"
#include "ui/loop.h"

namespace vlt::test {
namespace {

bool processUntil(const std::function<bool()>& done, int limitMs = 5000) {
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < limitMs) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        ui::pumpMessages();
    }
    return done();
}

class QtTray : public TrayTest {
protected:
    QtTray() { ui::setFrontend(&m_qt); }
    ~QtTray() override {
        // Before the Qt front end goes: the tray removes its icon through it.
        m_watch.reset();
        if (m_app && m_app->Window() && m_app->Window()->m_hWnd) stop();
        ui::setFrontend(nullptr);
    }

    // As VTTray32 wires it.
    void watchSession() {
        const HWND window = hwnd();
        m_watch = std::make_unique<frontends::SessionWatch>([this, window](frontends::SessionEvent event) {
            tray::SessionEvent what = tray::SessionEvent::ScreenLocked;
            if (event == frontends::SessionEvent::Suspending) what = tray::SessionEvent::Suspending;
            SendMessageA(window, tray::kTraySessionMessage, static_cast<WPARAM>(what), 0);
            m_cacheAfterHandler = cachePresent();
            m_inhibitorsAfterHandler = m_fakes ? m_fakes->heldInhibitors() : -1;
        });
    }

    frontends::QtFrontend m_qt;
    std::unique_ptr<FakeServices> m_fakes;
    std::unique_ptr<frontends::SessionWatch> m_watch;
    bool m_cacheAfterHandler = true;
    int m_inhibitorsAfterHandler = -1;
};

TEST_F(QtTray, SuspendLocksTheProfileBeforeTheMachineMaySleep) {
    if (!privateBusRunning()) GTEST_SKIP() << "no dbus-daemon";
    m_fakes = std::make_unique<FakeServices>();
    ASSERT_TRUE(m_fakes->ok());
    setSetting(layout::kAutoLock, 1);
    ASSERT_TRUE(start());
    watchSession();
    unlockNotified();
    ASSERT_FALSE(window().IsLocked());

    m_fakes->emitSignal(QStringLiteral("/org/freedesktop/login1"), QStringLiteral("org.freedesktop.login1.Manager"),
                        QStringLiteral("PrepareForSleep"), {true});
    ASSERT_TRUE(processUntil([&] { return m_inhibitorsAfterHandler != -1; }));
    EXPECT_FALSE(m_cacheAfterHandler) << "locked inside the handler";
    EXPECT_EQ(m_inhibitorsAfterHandler, 1) << "while the machine still waited";
    EXPECT_TRUE(window().IsLocked());
    EXPECT_TRUE(processUntil([&] { return m_fakes->heldInhibitors() == 0; }));
}

TEST_F(QtTray, ScreenSaverLocksUnlessSwitchedOff) {
    if (!privateBusRunning()) GTEST_SKIP() << "no dbus-daemon";
    m_fakes = std::make_unique<FakeServices>();
    setSetting(layout::kAutoLock, 1);
    setSetting(layout::kLockOnScreenLock, 0);
    ASSERT_TRUE(start());
    watchSession();
    unlockNotified();
    m_fakes->emitSignal(QStringLiteral("/org/freedesktop/ScreenSaver"), QStringLiteral("org.freedesktop.ScreenSaver"),
                        QStringLiteral("ActiveChanged"), {true});
    ASSERT_TRUE(processUntil([&] { return m_inhibitorsAfterHandler != -1; }));
    EXPECT_TRUE(cachePresent()) << "LockOnScreenLock is 0";

    setSetting(layout::kLockOnScreenLock, 1);
    m_inhibitorsAfterHandler = -1;
    m_fakes->emitSignal(QStringLiteral("/org/freedesktop/ScreenSaver"), QStringLiteral("org.freedesktop.ScreenSaver"),
                        QStringLiteral("ActiveChanged"), {true});
    ASSERT_TRUE(processUntil([&] { return m_inhibitorsAfterHandler != -1; }));
    EXPECT_FALSE(cachePresent());
    EXPECT_TRUE(window().IsLocked());
}

TEST_F(QtTray, WithoutANotificationAreaItSaysSoOnceOnTheDesktop) {
    if (!privateBusRunning()) GTEST_SKIP() << "no dbus-daemon";
    if (QSystemTrayIcon::isSystemTrayAvailable()) GTEST_SKIP() << "this display has a notification area";
    m_fakes = std::make_unique<FakeServices>();
    ASSERT_TRUE(start());  // off screen there is no notification area
    EXPECT_FALSE(window().Icon().Enabled());
    tick(4);
    EXPECT_TRUE(m_fakes->notifications().empty());
    tick();
    EXPECT_EQ(m_fakes->notifications().size(), 1u) << "within seconds";
    tick(120);
    ASSERT_EQ(m_fakes->notifications().size(), 1u);
    EXPECT_EQ(m_fakes->notifications()[0].first, "VLT runs without a tray icon");
    EXPECT_NE(m_fakes->notifications()[0].second.find("vlt tray status"), std::string::npos);
    EXPECT_EQ(m_fakes->notifyingApps(), std::vector<std::string>{"VTTray32"});
}

// On a real X server with a notification area (scripts/qt-on-x starts trayer); off screen
// there is none.
TEST_F(QtTray, IconIsDockedInTheNotificationAreaAndFollowsTheState) {
    if (QGuiApplication::platformName() == QLatin1String("offscreen"))
        GTEST_SKIP() << "no notification area off screen";
    ASSERT_TRUE(QSystemTrayIcon::isSystemTrayAvailable()) << "no notification area on this display";
    setSetting(layout::kAutoLock, 1);
    ASSERT_TRUE(start());
    EXPECT_TRUE(window().Icon().Enabled());
    QSystemTrayIcon* icon = m_qt.trayIcon(hwnd(), tray::kIconId);
    ASSERT_NE(icon, nullptr);
    EXPECT_TRUE(processUntil([&] { return icon->geometry().width() > 0; })) << "docked by the notification area";
    EXPECT_EQ(icon->toolTip(), "VLT is Locked.");
    unlockNotified();
    tick();
    EXPECT_EQ(icon->toolTip(), "VLT will be locked in 599 Seconds.");
}

TEST_F(QtTray, CountdownGoesOnWhileAMessageBoxIsOpen) {
    setSetting(layout::kAutoLock, 1);
    setProfileDword(layout::kTimeOutPeriod, 3);
    ASSERT_TRUE(start());
    unlockNotified();
    bool lockedMeanwhile = false;
    bool boxSeen = false;
    QTimer::singleShot(100, [&] {
        m_clock.advanceMs(3000);
        ui::clockChanged();
    });
    // Looks until the lock is seen (a busy machine may take a while), then closes the box.
    QElapsedTimer waited;
    waited.start();
    QTimer look;
    QObject::connect(&look, &QTimer::timeout, [&] {
        lockedMeanwhile = !cachePresent();
        if (!lockedMeanwhile && waited.elapsed() < 10000) return;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible()) {
                boxSeen = true;
                box->close();
            }
    });
    look.start(50);
    SendMessageA(hwnd(), WM_COMMAND, tray::kAboutCommand, 0);  // the box's modal loop runs here
    EXPECT_TRUE(boxSeen);
    EXPECT_TRUE(lockedMeanwhile) << "the countdown ended while the box was open";
}

}  // namespace
}  // namespace vlt::test
