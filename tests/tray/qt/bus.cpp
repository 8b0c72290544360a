#include "bus.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusUnixFileDescriptor>
#include <QDBusVirtualObject>
#include <QMetaObject>
#include <QThread>
#include <cstdlib>
#include <mutex>

namespace vlt::test {
namespace {

pid_t g_daemon = 0;
std::string g_address;

}  // namespace

bool startPrivateBus() {
    int out[2];
    if (pipe2(out, O_CLOEXEC) != 0) return false;
    g_daemon = fork();
    if (g_daemon == 0) {
        if (out[1] == 3) fcntl(3, F_SETFD, 0);
        else dup2(out[1], 3);
        execlp("dbus-daemon", "dbus-daemon", "--session", "--nofork", "--nopidfile", "--print-address=3",
               static_cast<char*>(nullptr));
        _exit(127);
    }
    close(out[1]);
    char buffer[512];
    std::string line;
    ssize_t n = 0;
    while (line.find('\n') == std::string::npos && (n = read(out[0], buffer, sizeof buffer)) > 0)
        line.append(buffer, static_cast<std::size_t>(n));
    close(out[0]);
    if (line.empty() || g_daemon < 0) {
        stopPrivateBus();
        return false;
    }
    g_address = line.substr(0, line.find('\n'));
    setenv("DBUS_SESSION_BUS_ADDRESS", g_address.c_str(), 1);
    setenv("DBUS_SYSTEM_BUS_ADDRESS", g_address.c_str(), 1);
    return true;
}

void stopPrivateBus() {
    if (g_daemon > 0) {
        kill(g_daemon, SIGTERM);
        waitpid(g_daemon, nullptr, 0);
    }
    g_daemon = 0;
    g_address.clear();
}

bool privateBusRunning() { return !g_address.empty(); }
const std::string& privateBusAddress() { return g_address; }

// ---- the fake services ------------------------------------------------------------------------

class FakeObject : public QDBusVirtualObject {
public:
    explicit FakeObject(FakeServices::Impl& impl) : m_impl(impl) {}
    QString introspect(const QString&) const override { return {}; }
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override;

private:
    FakeServices::Impl& m_impl;
};

struct FakeServices::Impl {
    QThread thread;
    QObject* context = nullptr;  // lives on the thread
    std::unique_ptr<FakeObject> login1;
    std::unique_ptr<FakeObject> notifications;
    bool ok = false;

    mutable std::mutex mutex;
    int inhibitCalls = 0;
    std::vector<int> inhibitorReadEnds;
    std::vector<std::pair<std::string, std::string>> notes;
    std::vector<std::string> apps;

    QString connectionName() const { return QStringLiteral("vlt-fake-services"); }

    // On the thread.
    bool handle(const QDBusMessage& m, const QDBusConnection& c) {
        QDBusConnection bus = c;
        const QString member = m.member();
        if (member == QLatin1String("GetSessionByPID") || member == QLatin1String("GetSession")) {
            bus.send(m.createReply(QVariant::fromValue(QDBusObjectPath(FakeServices::sessionPath()))));
            return true;
        }
        if (member == QLatin1String("Inhibit")) {
            int ends[2];
            if (pipe2(ends, O_CLOEXEC) != 0) return false;
            {
                QDBusMessage reply = m.createReply(QVariant::fromValue(QDBusUnixFileDescriptor(ends[1])));
                bus.send(reply);
            }
            close(ends[1]);  // the bus message held its own copy; the caller now holds the only one
            std::lock_guard lock(mutex);
            ++inhibitCalls;
            inhibitorReadEnds.push_back(ends[0]);
            return true;
        }
        if (member == QLatin1String("Notify") && m.arguments().size() >= 5) {
            {
                std::lock_guard lock(mutex);
                apps.push_back(m.arguments()[0].toString().toStdString());
                notes.emplace_back(m.arguments()[3].toString().toStdString(), m.arguments()[4].toString().toStdString());
            }
            bus.send(m.createReply(QVariant::fromValue(1u)));
            return true;
        }
        bus.send(m.createErrorReply(QStringLiteral("org.freedesktop.DBus.Error.UnknownMethod"), member));
        return true;
    }
};

bool FakeObject::handleMessage(const QDBusMessage& message, const QDBusConnection& connection) {
    return m_impl.handle(message, connection);
}

FakeServices::FakeServices() : m_impl(std::make_unique<Impl>()) {
    Impl& m = *m_impl;
    if (!privateBusRunning()) return;
    m.thread.start();
    m.context = new QObject;
    m.context->moveToThread(&m.thread);
    QMetaObject::invokeMethod(
        m.context,
        [&m] {
            QDBusConnection bus =
                QDBusConnection::connectToBus(QString::fromStdString(privateBusAddress()), m.connectionName());
            m.login1 = std::make_unique<FakeObject>(m);
            m.notifications = std::make_unique<FakeObject>(m);
            m.ok = bus.isConnected() && bus.registerService(QStringLiteral("org.freedesktop.login1")) &&
                   bus.registerService(QStringLiteral("org.freedesktop.Notifications")) &&
                   bus.registerVirtualObject(QStringLiteral("/org/freedesktop/login1"), m.login1.get(),
                                             QDBusConnection::SubPath) &&
                   bus.registerVirtualObject(QStringLiteral("/org/freedesktop/Notifications"), m.notifications.get());
        },
        Qt::BlockingQueuedConnection);
}

FakeServices::~FakeServices() {
    Impl& m = *m_impl;
    if (m.context != nullptr) {
        QMetaObject::invokeMethod(
            m.context,
            [&m] {
                QDBusConnection::disconnectFromBus(m.connectionName());
                m.login1.reset();
                m.notifications.reset();
                delete m.context;
                m.context = nullptr;
            },
            Qt::BlockingQueuedConnection);
    }
    m.thread.quit();
    m.thread.wait();
    for (int fd : m.inhibitorReadEnds) close(fd);
}

bool FakeServices::ok() const { return m_impl->ok; }

void FakeServices::emitSignal(const QString& path, const QString& interface, const QString& name,
                              const QVariantList& args, bool spoofed) {
    Impl& m = *m_impl;
    auto send = [&](QDBusConnection bus) {
        QDBusMessage signal = QDBusMessage::createSignal(path, interface, name);
        signal.setArguments(args);
        bus.send(signal);
        // A round trip after it: the bus has routed the signal once the reply is here.
        bus.call(QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.DBus"),
                                                QStringLiteral("/org/freedesktop/DBus"),
                                                QStringLiteral("org.freedesktop.DBus"), QStringLiteral("GetId")));
    };
    if (spoofed) {
        QDBusConnection other =
            QDBusConnection::connectToBus(QString::fromStdString(privateBusAddress()), QStringLiteral("vlt-spoof"));
        send(other);
        return;
    }
    QMetaObject::invokeMethod(
        m.context, [&] { send(QDBusConnection(m.connectionName())); }, Qt::BlockingQueuedConnection);
}

int FakeServices::inhibitCalls() const {
    std::lock_guard lock(m_impl->mutex);
    return m_impl->inhibitCalls;
}

int FakeServices::heldInhibitors() const {
    std::lock_guard lock(m_impl->mutex);
    int held = 0;
    for (int fd : m_impl->inhibitorReadEnds) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 0) == 0) ++held;  // neither data nor hang-up: a writer is open
    }
    return held;
}

std::vector<std::pair<std::string, std::string>> FakeServices::notifications() const {
    std::lock_guard lock(m_impl->mutex);
    return m_impl->notes;
}

std::vector<std::string> FakeServices::notifyingApps() const {
    std::lock_guard lock(m_impl->mutex);
    return m_impl->apps;
}

}  // namespace vlt::test
