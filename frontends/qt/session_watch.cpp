#include "frontends/qt/session_watch.h"

#include <unistd.h>

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusUnixFileDescriptor>
#include <QGuiApplication>
#include <QObject>
#include <QSessionManager>

namespace vlt::frontends {
namespace {

const QString kLogind = QStringLiteral("org.freedesktop.login1");
const QString kLogindPath = QStringLiteral("/org/freedesktop/login1");
const QString kManager = QStringLiteral("org.freedesktop.login1.Manager");
const QString kSession = QStringLiteral("org.freedesktop.login1.Session");
// The screen savers that announce ActiveChanged(bool) on the session bus.
const char* const kScreenSavers[] = {"org.freedesktop.ScreenSaver", "org.gnome.ScreenSaver", "org.mate.ScreenSaver",
                                     "org.cinnamon.ScreenSaver", "org.xfce.ScreenSaver"};
constexpr int kCallTimeoutMs = 5000;

QDBusMessage callLogind(QDBusConnection& bus, const QString& method, const QList<QVariant>& args) {
    QDBusMessage call = QDBusMessage::createMethodCall(kLogind, kLogindPath, kManager, method);
    call.setArguments(args);
    return bus.call(call, QDBus::Block, kCallTimeoutMs);
}

// A round trip to the bus: the match rules sent before it are in place once it returns.
void settle(QDBusConnection& bus) {
    QDBusMessage ping = QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.DBus"),
                                                       QStringLiteral("/org/freedesktop/DBus"),
                                                       QStringLiteral("org.freedesktop.DBus"), QStringLiteral("GetId"));
    bus.call(ping, QDBus::Block, kCallTimeoutMs);
}

}  // namespace

class SessionListener : public QObject {
    Q_OBJECT
public:
    std::function<void(bool)> onPrepareForSleep;
    std::function<void(bool)> onPrepareForShutdown;
    std::function<void()> onSessionLock;
    std::function<void(bool)> onScreenSaverActive;

public slots:
    void prepareForSleep(bool start) { onPrepareForSleep(start); }
    void prepareForShutdown(bool start) { onPrepareForShutdown(start); }
    void sessionLock() { onSessionLock(); }
    void screenSaverActive(bool active) { onScreenSaverActive(active); }
};

struct SessionWatch::Impl {
    Handler handler;
    SessionListener listener;
    QDBusConnection system = QDBusConnection::systemBus();
    QDBusConnection session = QDBusConnection::sessionBus();
    std::vector<std::string> sources;
    QDBusUnixFileDescriptor sleepDelay;  // held until the handler has seen the sleep coming

    void takeSleepDelay() {
        const QDBusMessage reply =
            callLogind(system, QStringLiteral("Inhibit"),
                       {QStringLiteral("sleep"), QStringLiteral("VLT"),
                        QStringLiteral("Locks the VLT profile before the machine sleeps"), QStringLiteral("delay")});
        if (reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty())
            sleepDelay = qvariant_cast<QDBusUnixFileDescriptor>(reply.arguments().first());
    }

    // This process's logind session, "" when it has none.
    QString sessionPath() {
        QDBusMessage reply = callLogind(system, QStringLiteral("GetSessionByPID"), {static_cast<uint>(getpid())});
        if (reply.type() != QDBusMessage::ReplyMessage) {
            const QString id = qEnvironmentVariable("XDG_SESSION_ID");
            if (id.isEmpty()) return {};
            reply = callLogind(system, QStringLiteral("GetSession"), {id});
            if (reply.type() != QDBusMessage::ReplyMessage) return {};
        }
        if (reply.arguments().isEmpty()) return {};
        return qvariant_cast<QDBusObjectPath>(reply.arguments().first()).path();
    }
};

SessionWatch::SessionWatch(Handler handler) : m_impl(std::make_unique<Impl>()) {
    Impl& m = *m_impl;
    m.handler = std::move(handler);
    m.listener.onPrepareForSleep = [&m](bool start) {
        if (!start) {
            m.takeSleepDelay();  // awake again: the next sleep waits for us too
            return;
        }
        m.handler(SessionEvent::Suspending);
        m.sleepDelay = QDBusUnixFileDescriptor();  // closes our copy: the machine may sleep now
    };
    m.listener.onPrepareForShutdown = [&m](bool start) {
        if (start) m.handler(SessionEvent::SessionEnding);
    };
    m.listener.onSessionLock = [&m] { m.handler(SessionEvent::ScreenLocked); };
    m.listener.onScreenSaverActive = [&m](bool active) {
        if (active) m.handler(SessionEvent::ScreenLocked);
    };

    if (m.system.isConnected()) {
        bool any = m.system.connect(kLogind, kLogindPath, kManager, QStringLiteral("PrepareForSleep"), &m.listener,
                                    SLOT(prepareForSleep(bool)));
        any = m.system.connect(kLogind, kLogindPath, kManager, QStringLiteral("PrepareForShutdown"), &m.listener,
                               SLOT(prepareForShutdown(bool))) ||
              any;
        if (any) m.sources.push_back("logind");
        const QString path = m.sessionPath();
        if (!path.isEmpty() &&
            m.system.connect(kLogind, path, kSession, QStringLiteral("Lock"), &m.listener, SLOT(sessionLock())))
            m.sources.push_back("logind session " + path.toStdString());
        m.takeSleepDelay();
        settle(m.system);
    }
    if (m.session.isConnected()) {
        bool any = false;
        for (const char* name : kScreenSavers)
            any = m.session.connect(QString(), QString(), QString::fromLatin1(name), QStringLiteral("ActiveChanged"),
                                    &m.listener, SLOT(screenSaverActive(bool))) ||
                  any;
        if (any) m.sources.push_back("screen saver");
        settle(m.session);
    }
#ifndef QT_NO_SESSIONMANAGER
    if (auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        QObject::connect(app, &QGuiApplication::commitDataRequest, &m.listener,
                         [&m](QSessionManager&) { m.handler(SessionEvent::SessionEnding); });
        m.sources.push_back("session manager");
    }
#endif
}

SessionWatch::~SessionWatch() = default;

std::vector<std::string> SessionWatch::sources() const {
    std::vector<std::string> out = m_impl->sources;
    if (holdsSleepDelay()) out.push_back("sleep delay");
    return out;
}

bool SessionWatch::holdsSleepDelay() const { return m_impl->sleepDelay.isValid(); }

}  // namespace vlt::frontends

#include "session_watch.moc"
