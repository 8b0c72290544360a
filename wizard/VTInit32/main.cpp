// VTInit32: the profile wizard. Started at every login and by the applet (which leaves its
// request in InitState); it decides whether a profile must be created, imported or upgraded,
// leads the user through it, and ends. When there is nothing to do it ends at once, showing
// nothing.
#include <cstdio>
#include <string>
#include <vector>

#include "base/harden.h"
#include "frontends/choice/frontend_choice.h"
#include "wizard/wizard_app.h"
#ifdef VLT_HAVE_QT
#include "frontends/qt/program_windows.h"
#endif

namespace {

const char* kHelp =
    "usage: VTInit32 [--qt | --tty | --answers FILE [--transcript FILE]]\n"
    "\n"
    "The VLT profile wizard: creates your profile at your first login, imports one from a\n"
    "backup (.Vtb) or adds a 128-bit Enhanced key pair to an older profile. It shows nothing\n"
    "when your profile needs no work, or when you ticked \"Do not show this screen next time I\n"
    "login.\".\n"
    VLT_FRONTEND_OPTIONS_HELP;

int usage(const std::string& message) {
    std::fprintf(stderr, "VTInit32: %s\n\n%s", message.c_str(), kHelp);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    // The wizard takes passwords and makes key pairs: before any is in memory.
    vlt::base::hardenProcess();
    vlt::frontends::FrontendChoice choice;
    const std::vector<std::string> args(argv + 1, argv + argc);
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--help" || args[i] == "-h") return std::fputs(kHelp, stdout), 0;
        if (!vlt::frontends::parseFrontendOption(args, i, choice)) return usage("unknown option " + args[i]);
    }

    vlt::wizard::CWizardApp app;
    // Nothing to do: no window system is even contacted.
    if (!app.Decide()) return app.ExitInstance();
    {
        vlt::frontends::FrontendFactory windows;
#ifdef VLT_HAVE_QT
        windows = vlt::frontends::qtWindows();
#endif
        vlt::frontends::FrontendScope frontend(choice, argc, argv, windows);
        if (!frontend.ok()) {
            app.ExitInstance();
            return usage(frontend.error());
        }
        app.ShowWizard();
    }
    return app.ExitInstance();
}
