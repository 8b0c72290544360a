// vlt-control: the control-panel runner. "rundll32.exe shell32.dll,Control_RunDLL X.Cpl" (how
// the tray and the wizard open the applet) runs this with X.Cpl; it opens the library's applet
// in the front end its command line chooses and ends when the applet's window closes.
#include <cstdio>
#include <string>
#include <vector>

#include "base/harden.h"
#include "frontends/choice/frontend_choice.h"
#include "ipc/ipc.h"
#include "shell/control_panel.h"
#ifdef VLT_HAVE_QT
#include "frontends/qt/program_windows.h"
#endif

namespace {

const char* kHelp =
    "usage: vlt-control FILE.Cpl [@N] [--qt | --tty | --answers FILE [--transcript FILE]] [--yes|--no]\n"
    "\n"
    "Opens the control-panel applet of FILE.Cpl (the first one, or applet N with @N) and waits\n"
    "until its window closes.\n"
    VLT_FRONTEND_OPTIONS_HELP
    "exit status: 0 the applet ran, 1 the file is missing, is not an applet or refused to\n"
    "start, 2 usage error\n";

int usage(const std::string& message) {
    std::fprintf(stderr, "vlt-control: %s\n\n%s", message.c_str(), kHelp);
    return 2;
}

int run(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    vlt::frontends::FrontendChoice choice;
    std::vector<std::string> operands;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--help" || a == "-h") return std::fputs(kHelp, stdout), 0;
        if (vlt::frontends::parseFrontendOption(args, i, choice)) continue;
        if (a.size() > 1 && a[0] == '-') return usage("unknown option " + a);
        operands.push_back(a);
    }
    if (operands.empty()) return usage("no control-panel file given");
    if (operands.size() > 2) return usage("unexpected " + operands[2]);

    // The applet tells a running tray about changed settings; alone it still works.
    if (auto ipc = vlt::ipc::enable(); !ipc)
        std::fprintf(stderr, "vlt-control: windows of other programs are out of reach: %s\n",
                     ipc.error().message.c_str());
    vlt::frontends::FrontendFactory windows;
#ifdef VLT_HAVE_QT
    windows = vlt::frontends::qtWindows();
#endif
    vlt::frontends::FrontendScope frontend(choice, argc, argv, windows);
    if (!frontend.ok()) return usage(frontend.error());
    auto ran = vlt::shell::runControlPanelApplet(operands[0], operands.size() > 1 ? operands[1] : std::string());
    if (!ran) {
        std::fprintf(stderr, "vlt-control: %s\n", ran.error().message.c_str());
        return 1;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    // The applet takes passwords: before any is in memory.
    vlt::base::hardenProcess();
    return run(argc, argv);
}
