// A private D-Bus for the Qt tests of the tray: one dbus-daemon for the whole test program,
// standing in for both the session and the system bus, and fake services on it (logind and the
// notification service) that run on a thread of their own and record what they were asked.
#pragma once

#include <QString>
#include <QVariantList>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace vlt::test {

// Starts the daemon and points DBUS_SESSION_BUS_ADDRESS and DBUS_SYSTEM_BUS_ADDRESS at it;
// call before anything of Qt D-Bus is used. false when dbus-daemon cannot be started.
bool startPrivateBus();
void stopPrivateBus();
bool privateBusRunning();
const std::string& privateBusAddress();

class FakeServices {
public:
    // Owns org.freedesktop.login1 and org.freedesktop.Notifications on the private bus.
    FakeServices();
    ~FakeServices();
    FakeServices(const FakeServices&) = delete;
    FakeServices& operator=(const FakeServices&) = delete;
    bool ok() const;

    // The session GetSessionByPID answers with.
    static QString sessionPath() { return QStringLiteral("/org/freedesktop/login1/session/_7"); }

    // A signal sent by the service's own connection (the name's owner), or by a connection that
    // owns no name (spoofed); the bus has routed it when this returns.
    void emitSignal(const QString& path, const QString& interface, const QString& name, const QVariantList& args,
                    bool spoofed = false);

    int inhibitCalls() const;
    // Inhibitor descriptors handed out whose every copy is still open.
    int heldInhibitors() const;
    std::vector<std::pair<std::string, std::string>> notifications() const;  // summary, body
    std::vector<std::string> notifyingApps() const;

    struct Impl;

private:
    std::unique_ptr<Impl> m_impl;
};

}  // namespace vlt::test
