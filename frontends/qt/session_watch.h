// Tells a program when the desktop session wants secrets put away: the screen locks, the machine
// is about to sleep, the session ends. Listens on D-Bus through Qt:
//   system bus  - logind (org.freedesktop.login1): the Manager's PrepareForSleep(true) and
//                 PrepareForShutdown(true), and the Lock signal of this process's session;
//   session bus - ActiveChanged(true) of the screen savers (org.freedesktop.ScreenSaver,
//                 org.gnome.ScreenSaver and the same interface of MATE, Cinnamon and Xfce);
//   the session manager's logout request (QGuiApplication::commitDataRequest).
// Before sleep the watch holds a logind delay inhibitor, so the machine waits until the
// handler has returned (logind caps the wait, by default at 5 s); it takes a new one on resume.
// Signals claiming to be logind's are taken only from the bus name's owner.
//
// The header names no Qt type: programs outside frontends/qt include it.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace vlt::frontends {

enum class SessionEvent { ScreenLocked = 1, Suspending = 2, SessionEnding = 3 };

class SessionWatch {
public:
    using Handler = std::function<void(SessionEvent)>;
    // On the GUI thread, after the QApplication exists. The handler runs on the GUI thread,
    // from Qt's event loop. Once the constructor returns, the buses deliver every signal sent
    // after it.
    explicit SessionWatch(Handler handler);
    ~SessionWatch();
    SessionWatch(const SessionWatch&) = delete;
    SessionWatch& operator=(const SessionWatch&) = delete;

    // What is listened to, one line each, for diagnostics: "logind", "logind session PATH",
    // "screen saver", "sleep delay".
    std::vector<std::string> sources() const;
    // Whether a sleep delay inhibitor is held now.
    bool holdsSleepDelay() const;

    struct Impl;

private:
    std::unique_ptr<Impl> m_impl;
};

}  // namespace vlt::frontends
