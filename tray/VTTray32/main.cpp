// VTTray32: the tray program. Started at login, it runs for the whole desktop session: it locks
// the profile at start, shows the lock state in the notification area, and locks again when the
// countdown after the last unlock runs out, from its menu, and when the session asks (screen
// lock, suspend, logout).
//
// Several copies may run, as on Windows; the other programs reach the newest one's window.
#include <pthread.h>
#include <signal.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "base/harden.h"
#include "frontends/headless/headless_frontend.h"
#include "ipc/ipc.h"
#include "shared/registry_layout.h"
#include "tray/messages.h"
#include "tray/tray_app.h"
#include "ui/frontend.h"
#ifdef VLT_HAVE_QT
#include "frontends/qt/qt_frontend.h"
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
    "SIGTERM, SIGINT and SIGHUP end it like the menu's Exit, after locking the profile (unless\n"
    "the setting \"LockOnLogout\" is 0).\n";

struct Options {
    enum class Kind { Automatic, Qt, Headless };
    Kind kind = Kind::Automatic;
    std::string answers;
    std::string transcript;
};

int usage(const std::string& message) {
    std::fprintf(stderr, "VTTray32: %s\n\n%s", message.c_str(), kHelp);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    vlt::base::hardenProcess();  // the tray may hold the profile's keys while it locks
    Options options;
    std::vector<std::string> args(argv + 1, argv + argc);
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--help" || a == "-h") return std::fputs(kHelp, stdout), 0;
        if (a == "--qt") options.kind = Options::Kind::Qt;
        else if (a == "--headless") options.kind = Options::Kind::Headless;
        else if ((a == "--answers" || a == "--transcript") && i + 1 < args.size())
            (a == "--answers" ? options.answers : options.transcript) = args[++i];
        else return usage("unknown option " + a);
    }
    if ((!options.answers.empty() || !options.transcript.empty()) && options.kind != Options::Kind::Headless)
        return usage("--answers and --transcript go with --headless");

    // The signals that end the session are taken by one thread of ours; every thread made from
    // here on inherits the mask.
    sigset_t stops;
    sigemptyset(&stops);
    for (int s : {SIGTERM, SIGINT, SIGHUP, SIGUSR2}) sigaddset(&stops, s);
    pthread_sigmask(SIG_BLOCK, &stops, nullptr);

    vlt::layout::declareVolatileValues();

    std::unique_ptr<vlt::frontends::HeadlessFrontend> headless;
#ifdef VLT_HAVE_QT
    std::unique_ptr<vlt::frontends::QtApplication> qtApp;
    std::unique_ptr<vlt::frontends::QtFrontend> qt;
#endif
    if (options.kind == Options::Kind::Automatic && vlt::ui::haveDisplay()) options.kind = Options::Kind::Qt;
    if (options.kind == Options::Kind::Headless) {
        headless = std::make_unique<vlt::frontends::HeadlessFrontend>();
        if (!options.answers.empty()) {
            std::ifstream in(options.answers);
            if (!in) return usage("cannot read " + options.answers);
            const std::string script{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
            if (auto r = headless->loadScript(script); !r) return usage(r.error().message);
        }
        vlt::ui::setFrontend(headless.get());
    } else if (options.kind == Options::Kind::Qt) {
#ifdef VLT_HAVE_QT
        qtApp = std::make_unique<vlt::frontends::QtApplication>(argc, argv);
        qtApp->keepRunningWithoutWindows();
        qt = std::make_unique<vlt::frontends::QtFrontend>();
        vlt::ui::setFrontend(qt.get());
#else
        return usage("this build has no Qt front end; use --headless");
#endif
    }
    // Without a front end: no windows, no icon; message boxes take their default answers.

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
            if (qt)
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

    vlt::ui::setFrontend(nullptr);
    if (headless && !options.transcript.empty()) {
        std::ofstream out(options.transcript, std::ios::trunc);
        out << headless->transcriptText();
    }
    return status;
}
