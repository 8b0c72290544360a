// VTTray32: the tray program. Started at login, it runs for the whole desktop session: it locks
// the profile at start, shows the lock state in the notification area, and locks again when the
// countdown after the last unlock runs out, from its menu, and when the session asks (screen
// lock, suspend, logout).
//
// One copy runs per session: a second one finds the first holding the tray's lock and ends
// at once (status 0), before it touches the profile or the display.
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "base/harden.h"
#include "frontends/choice/frontend_choice.h"
#include "ipc/ipc.h"
#include "shared/registry_layout.h"
#include "sys/instance_lock.h"
#include "tray/messages.h"
#include "tray/tray_app.h"
#include "ui/frontend.h"
#ifdef VLT_HAVE_QT
#include "frontends/qt/program_windows.h"
#include "frontends/qt/session_watch.h"
#endif

namespace {

const char* kHelp =
    "usage: VTTray32 [--qt | --headless [--answers FILE] [--transcript FILE]]\n"
    "\n"
    "Shows whether your VLT profile is locked, and locks it: at start, when the countdown after\n"
    "the last unlock runs out (\"TimeOut Period\", with \"AutoLock\" on), from the icon's menu, and\n"
    "when the screen locks, before the machine sleeps and when the session ends.\n"
    "\n"
    "--qt          a tray icon and real windows (the default with a display)\n"
    "--headless    no windows: message boxes and menus take their default answers, or those of\n"
    "              --answers FILE (the headless front end's script); --transcript FILE receives\n"
    "              what was shown when the program ends\n"
    "Without a display it runs without windows and without an icon, and still locks.\n"
    "One copy runs per session: a second one ends at once.\n"
    "SIGTERM, SIGINT and SIGHUP end it like the menu's Exit, after locking the profile (unless\n"
    "the setting \"LockOnLogout\" is 0).\n";

int usage(const std::string& message) {
    std::fprintf(stderr, "VTTray32: %s\n\n%s", message.c_str(), kHelp);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    vlt::base::hardenProcess();  // the tray may hold the profile's keys while it locks
    vlt::frontends::FrontendChoice choice;
    choice.fallback = vlt::frontends::FrontendChoice::Kind::None;  // no terminal to talk to
    std::vector<std::string> args(argv + 1, argv + argc);
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--help" || a == "-h") return std::fputs(kHelp, stdout), 0;
        if (a == "--qt") choice.kind = vlt::frontends::FrontendChoice::Kind::Qt;
        else if (a == "--headless") choice.kind = vlt::frontends::FrontendChoice::Kind::Headless;
        else if ((a == "--answers" || a == "--transcript") && i + 1 < args.size())
            (a == "--answers" ? choice.answers : choice.transcript) = args[++i];
        else return usage("unknown option " + a);
    }
    if ((!choice.answers.empty() || !choice.transcript.empty()) &&
        choice.kind != vlt::frontends::FrontendChoice::Kind::Headless)
        return usage("--answers and --transcript go with --headless");

    // Held until the program ends. Where it cannot be taken (no private folder) the tray runs
    // anyway: two trays lock as well as one, no tray does not lock at all.
    auto once = vlt::sys::InstanceLock::take(vlt::tray::kAppName);
    if (!once) {
        std::fprintf(stderr, "VTTray32: cannot tell whether another tray runs: %s\n", once.error().message.c_str());
    } else if (!once->held()) {
        if (isatty(STDERR_FILENO)) std::fputs("VTTray32: a tray already runs in this session\n", stderr);
        return 0;
    }

    // The signals that end the session are taken by one thread of ours; every thread made from
    // here on inherits the mask.
    sigset_t stops;
    sigemptyset(&stops);
    for (int s : {SIGTERM, SIGINT, SIGHUP, SIGUSR2}) sigaddset(&stops, s);
    pthread_sigmask(SIG_BLOCK, &stops, nullptr);

    vlt::layout::declareVolatileValues();

    vlt::frontends::FrontendFactory windows;
#ifdef VLT_HAVE_QT
    windows = vlt::frontends::qtWindows(true);
#endif
    // Without a front end: no windows, no icon; message boxes take their default answers.
    vlt::frontends::FrontendScope frontend(choice, argc, argv, windows);
    if (!frontend.ok()) return usage(frontend.error());

    // The shell extension, the applet and vlt find our window from their own processes.
    if (auto ipc = vlt::ipc::enable(); !ipc)
        std::fprintf(stderr, "VTTray32: other programs cannot reach the tray: %s\n", ipc.error().message.c_str());

    int status = 1;
    {
        vlt::tray::CTrayApp app;
        if (app.InitInstance()) {
            const HWND window = app.Window()->m_hWnd;
            std::thread stopper([&stops, window] {
                int signal = 0;
                if (sigwait(&stops, &signal) != 0 || signal == SIGUSR2) return;
                PostMessageA(window, vlt::tray::kTraySessionMessage,
                             static_cast<WPARAM>(vlt::tray::SessionEvent::SessionEnding), 0);
                PostMessageA(window, WM_COMMAND, vlt::tray::kExitCommand, 0);
            });
#ifdef VLT_HAVE_QT
            std::unique_ptr<vlt::frontends::SessionWatch> watch;
            if (frontend.windows())
                watch = std::make_unique<vlt::frontends::SessionWatch>([window](vlt::frontends::SessionEvent event) {
                    using vlt::tray::SessionEvent;
                    SessionEvent what = SessionEvent::ScreenLocked;
                    if (event == vlt::frontends::SessionEvent::Suspending) what = SessionEvent::Suspending;
                    if (event == vlt::frontends::SessionEvent::SessionEnding) what = SessionEvent::SessionEnding;
                    // Synchronous: before suspend the machine waits until the profile is locked.
                    SendMessageA(window, vlt::tray::kTraySessionMessage, static_cast<WPARAM>(what), 0);
                });
#endif
            status = app.Run();
#ifdef VLT_HAVE_QT
            watch.reset();
#endif
            pthread_kill(stopper.native_handle(), SIGUSR2);
            stopper.join();
        } else {
            app.ExitInstance();
        }
    }

    return status;
}
