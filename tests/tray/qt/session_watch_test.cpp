// SessionWatch against fake logind and screen-saver signals on a private bus: what counts as a
// screen lock, a coming sleep or the session's end, the sleep delay held until the handler has
// run, and signals that only pretend to come from logind.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QElapsedTimer>
#include <QVariant>
#include <algorithm>
#include <functional>

#include "bus.h"
#include "frontends/qt/session_watch.h"

namespace vlt::test {
namespace {

using frontends::SessionEvent;
using frontends::SessionWatch;

const QString kLogindPath = QStringLiteral("/org/freedesktop/login1");
const QString kManager = QStringLiteral("org.freedesktop.login1.Manager");
const QString kSession = QStringLiteral("org.freedesktop.login1.Session");

// Qt's events until done() (signals reach the watch through them).
bool processUntil(const std::function<bool()>& done, int limitMs = 5000) {
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < limitMs) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return done();
}

class Watch : public ::testing::Test {
protected:
    void SetUp() override {
        if (!privateBusRunning()) GTEST_SKIP() << "no dbus-daemon";
        m_fakes = std::make_unique<FakeServices>();
        ASSERT_TRUE(m_fakes->ok());
        m_watch = std::make_unique<SessionWatch>([this](SessionEvent e) {
            m_events.push_back(e);
            m_inhibitorsDuringHandler = m_fakes->heldInhibitors();
        });
    }
    void TearDown() override {
        m_watch.reset();
        m_fakes.reset();
    }

    // A signal the watch must not take, then one it takes: once the second has arrived the first
    // has been delivered or dropped.
    void emitThenMark(const QString& path, const QString& iface, const QString& name, const QVariantList& args,
                      bool spoofed = false) {
        const std::size_t before = m_events.size();
        m_fakes->emitSignal(path, iface, name, args, spoofed);
        m_fakes->emitSignal(QStringLiteral("/org/gnome/ScreenSaver"), QStringLiteral("org.gnome.ScreenSaver"),
                            QStringLiteral("ActiveChanged"), {true});
        ASSERT_TRUE(processUntil([&] { return m_events.size() > before; }));
        processUntil([] { return false; }, 50);  // anything the first one would have caused
    }

    std::unique_ptr<FakeServices> m_fakes;
    std::unique_ptr<SessionWatch> m_watch;
    std::vector<SessionEvent> m_events;
    int m_inhibitorsDuringHandler = -1;
};

TEST_F(Watch, ListensToLogindItsSessionAndTheScreenSavers) {
    const auto sources = m_watch->sources();
    auto has = [&](const std::string& s) { return std::find(sources.begin(), sources.end(), s) != sources.end(); };
    EXPECT_TRUE(has("logind"));
    EXPECT_TRUE(has("logind session " + FakeServices::sessionPath().toStdString()));
    EXPECT_TRUE(has("screen saver"));
    EXPECT_TRUE(has("sleep delay"));
    EXPECT_TRUE(m_watch->holdsSleepDelay());
    EXPECT_EQ(m_fakes->heldInhibitors(), 1);
}

TEST_F(Watch, SleepWaitsForTheHandlerAndTheDelayIsTakenAgainOnResume) {
    m_fakes->emitSignal(kLogindPath, kManager, QStringLiteral("PrepareForSleep"), {true});
    ASSERT_TRUE(processUntil([&] { return !m_events.empty(); }));
    EXPECT_EQ(m_events, std::vector<SessionEvent>{SessionEvent::Suspending});
    EXPECT_EQ(m_inhibitorsDuringHandler, 1) << "the machine still waits while the handler runs";
    EXPECT_EQ(m_fakes->heldInhibitors(), 0) << "released once the handler returned";
    EXPECT_FALSE(m_watch->holdsSleepDelay());

    m_fakes->emitSignal(kLogindPath, kManager, QStringLiteral("PrepareForSleep"), {false});
    ASSERT_TRUE(processUntil([&] { return m_fakes->heldInhibitors() == 1; }));
    EXPECT_EQ(m_fakes->inhibitCalls(), 2);
    EXPECT_TRUE(m_watch->holdsSleepDelay());
    EXPECT_EQ(m_events.size(), 1u) << "waking up is no event";
}

TEST_F(Watch, ScreenLocksFromLogindAndFromTheScreenSavers) {
    m_fakes->emitSignal(FakeServices::sessionPath(), kSession, QStringLiteral("Lock"), {});
    ASSERT_TRUE(processUntil([&] { return m_events.size() == 1; }));
    for (const char* iface : {"org.freedesktop.ScreenSaver", "org.gnome.ScreenSaver", "org.mate.ScreenSaver",
                              "org.cinnamon.ScreenSaver", "org.xfce.ScreenSaver"}) {
        // Any screen saver may announce it, from any name.
        m_fakes->emitSignal(QStringLiteral("/ScreenSaver"), QString::fromLatin1(iface), QStringLiteral("ActiveChanged"),
                            {true}, true);
    }
    ASSERT_TRUE(processUntil([&] { return m_events.size() == 6; }));
    EXPECT_TRUE(std::all_of(m_events.begin(), m_events.end(), [](SessionEvent e) { return e == SessionEvent::ScreenLocked; }));
}

TEST_F(Watch, SessionEndComesFromLogindsShutdown) {
    m_fakes->emitSignal(kLogindPath, kManager, QStringLiteral("PrepareForShutdown"), {true});
    ASSERT_TRUE(processUntil([&] { return !m_events.empty(); }));
    EXPECT_EQ(m_events, std::vector<SessionEvent>{SessionEvent::SessionEnding});
}

TEST_F(Watch, WhatIsNoLockIsIgnored) {
    emitThenMark(QStringLiteral("/ScreenSaver"), QStringLiteral("org.freedesktop.ScreenSaver"),
                 QStringLiteral("ActiveChanged"), {false});
    emitThenMark(kLogindPath, kManager, QStringLiteral("PrepareForShutdown"), {false});
    // Another session of the machine locking is not ours.
    emitThenMark(QStringLiteral("/org/freedesktop/login1/session/_9"), kSession, QStringLiteral("Lock"), {});
    EXPECT_EQ(m_events, std::vector<SessionEvent>(3, SessionEvent::ScreenLocked)) << "the marks only";
}

TEST_F(Watch, OnlyLogindItselfIsBelieved) {
    emitThenMark(kLogindPath, kManager, QStringLiteral("PrepareForSleep"), {true}, true);
    emitThenMark(FakeServices::sessionPath(), kSession, QStringLiteral("Lock"), {}, true);
    EXPECT_EQ(m_events, std::vector<SessionEvent>(2, SessionEvent::ScreenLocked)) << "the marks only";
    EXPECT_EQ(m_fakes->heldInhibitors(), 1);
}

}  // namespace
}  // namespace vlt::test
