// vlt-shell: stands in for the file manager's shell. It registers shell extensions as regsvr32
// would, and for a list of files builds the context menu of every registered handler, then
// lists it, shows it as a popup, or invokes one command.
//
// One process serves one action: file managers start a command per action, the unlock cache
// that spares the password is shared through the registry anyway, and a process that ends with
// its action cannot leak one action's state into the next. The busy flag therefore only turns
// away a second command inside the same process (a second menu in the same popup session).
#include <cstdio>
#include <string>
#include <vector>

#include "base/harden.h"
#include "frontends/choice/frontend_choice.h"
#include "hosts/shell/desktop_notice.h"
#include "hosts/shell/password_stdin.h"
#include "hosts/shell/run_outcome.h"
#include "hosts/shell/shell_host.h"
#include "ipc/ipc.h"
#include "sys/stop_signals.h"
#include "ui/frontend.h"
#ifdef VLT_HAVE_QT
#include "frontends/qt/program_windows.h"
#endif

namespace {

const char* kHelp =
    "usage: vlt-shell --register PATH | --unregister PATH\n"
    "       vlt-shell [FRONT END] --list [--] FILE...\n"
    "       vlt-shell [FRONT END] --popup [--] FILE...\n"
    "       vlt-shell [FRONT END] --verb N [--handler NAME] [--] FILE...\n"
    "\n"
    "--register, --unregister  call the library's DllRegisterServer / DllUnregisterServer\n"
    "--list    print the context menu for the files: one line per item, submenus indented\n"
    "--popup   show the menu at the pointer and run the chosen command\n"
    "--verb N  run command N of the handler (the first handler, or --handler NAME); for VLT:\n"
    "          0 lock, 1 grant, 2 unlock, 3 secure delete, 4 about\n"
    "--        everything after it is a file, also a name starting with \"-\"\n" VLT_FRONTEND_OPTIONS_HELP
    "terminal:   --yes, --no, --output-name NAME, --password-stdin\n";

// A failure of an action: on standard error, and in a desktop notification when nobody reads
// that (a file manager started us).
int failed(const std::string& message, int status = 1, const char* help = "") {
    std::fprintf(stderr, "vlt-shell: %s\n%s", message.c_str(), help);
    if (vlt::host::standardErrorUnseen()) (void)vlt::host::notifyDesktop(message);
    return status;
}

int usage(const std::string& message) { return failed(message, 2, (std::string("\n") + kHelp).c_str()); }

// Said when an action failed while its messages could only go to standard error.
constexpr const char* kNoDisplay =
    "VLT has no display to show its windows on (neither DISPLAY nor WAYLAND_DISPLAY names one that answers); the "
    "command did not complete.";

int run(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty()) return usage("nothing to do");
    if (args[0] == "--help" || args[0] == "-h") return std::fputs(kHelp, stdout), 0;

    if (args[0] == "--register" || args[0] == "--unregister") {
        if (args.size() != 2) return usage(args[0] + " takes one library path");
        if (auto r = vlt::host::registerServer(args[1], args[0] == "--unregister"); !r) {
            std::fprintf(stderr, "vlt-shell: %s\n", r.error().message.c_str());
            return 1;
        }
        return 0;
    }

    vlt::frontends::FrontendChoice choice;
    std::string action, handler;
    unsigned verb = 0;
    std::vector<std::string> files;
    bool onlyFiles = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (onlyFiles) {
            files.push_back(a);
            continue;
        }
        if (a == "--") {
            onlyFiles = true;
            continue;
        }
        auto value = [&](const char* what) -> std::string {
            if (i + 1 >= args.size()) return {};
            (void)what;
            return args[++i];
        };
        if (a == "--list" || a == "--popup") action = a;
        else if (a == "--verb") {
            action = a;
            const std::string n = value("N");
            if (n.empty() || n.find_first_not_of("0123456789") != std::string::npos) return usage("--verb takes a number");
            verb = static_cast<unsigned>(std::stoul(n));
        } else if (a == "--handler") handler = value("NAME");
        else if (a == "--password-stdin") {
            auto line = vlt::host::readPasswordLine();
            if (!line) {
                std::fprintf(stderr, "vlt-shell: %s\n", line.error().message.c_str());
                return 1;
            }
            choice.password = std::move(*line);
        } else if (vlt::frontends::parseFrontendOption(args, i, choice)) continue;
        else if (a.size() > 1 && a[0] == '-' && a != "-") return usage("unknown option " + a);
        else files.push_back(a);
    }
    if (action.empty()) return usage("--list, --popup or --verb N is needed");
    if (files.empty()) return usage("no file given");

    // Other programs (the tray) find our windows, and we theirs; without it we still work alone.
    if (auto ipc = vlt::ipc::enable(); !ipc)
        std::fprintf(stderr, "vlt-shell: windows of other programs are out of reach: %s\n", ipc.error().message.c_str());
    vlt::frontends::FrontendFactory windows;
#ifdef VLT_HAVE_QT
    windows = vlt::frontends::qtWindows();
#endif
    vlt::frontends::FrontendScope frontend(choice, argc, argv, windows);
    if (!frontend.ok()) return usage(frontend.error());

    // The file commands (lock, grant, unlock, secure delete) leave folders out; they are named
    // here and make the run incomplete, as in vlt.
    const bool fileCommand = handler.empty() || handler == "Vaultine" ? verb <= 3 : false;
    const auto paths = vlt::host::absolutePaths(files);
    const vlt::host::RunOutcome outcome(paths);
    // The shell gives the handlers registered for all files (`*`) no folders: whatever the
    // action, a folder is named and the run is not a success.
    const bool folderGiven = outcome.reportFolders("vlt-shell") > 0;
    if (outcome.onlyFolders()) return 1;

    vlt::host::ShellHost shell;
    if (auto loaded = shell.load(paths); !loaded) return failed(loaded.error().message);
    for (const auto& p : shell.problems()) std::fprintf(stderr, "vlt-shell: skipped %s\n", p.c_str());
    shell.buildMenu();
    if (action == "--list") {
        std::fputs(shell.describeMenu().c_str(), stdout);
        return folderGiven ? 1 : 0;
    }
    // Without a display the front end fell back to the terminal, which nobody may be reading.
    const auto finish = [&](int status) {
        const bool unshown = choice.kind == vlt::frontends::FrontendChoice::Kind::Automatic && !frontend.windows();
        if (status != 0 && unshown && !vlt::ui::haveDisplay() && !vlt::sys::stopSignalled() &&
            vlt::host::standardErrorUnseen())
            (void)vlt::host::notifyDesktop(kNoDisplay);
        return status;
    };
    if (action == "--popup") return finish(shell.popup() && !folderGiven ? frontend.exitStatus() : 1);
    const auto answer = shell.invoke(handler, verb);
    if (!answer) return failed(answer.error().message);
    if (fileCommand) return finish(outcome.exitStatus(*answer));
    if (FAILED(*answer))
        std::fprintf(stderr, "vlt-shell: the command answered 0x%08X\n", static_cast<unsigned>(*answer));
    return finish(*answer == S_OK && !folderGiven ? 0 : 1);
}

}  // namespace

int main(int argc, char** argv) {
    // Before any password or key is in memory.
    vlt::base::hardenProcess();
    vlt::sys::cancelOnStopSignals();
    const int status = run(argc, argv);
    return vlt::sys::stopSignalled() ? 1 : status;
}
