// vlt lock, grant, unlock, shred: the shell extension's commands, run through VTMenu32 as the
// shell host loads it, so that the command line and the file managers behave alike.
#include <unistd.h>

#include <cstdio>
#include <optional>

#include "cli.h"
#include "frontends/choice/frontend_choice.h"
#include "hosts/shell/password_stdin.h"
#include "hosts/shell/run_outcome.h"
#include "hosts/shell/shell_host.h"
#include "ipc/ipc.h"
#include "registry/nls.h"
#include "shared/locked_file.h"
#include "shellext/resources.h"
#include "sys/files.h"
#include "ui/input.h"
#include "ui/state.h"

namespace vlt::cli {
namespace {

const char* kLockHelp =
    "usage: vlt lock [--yes|--no] FILE...\n"
    "Locks each FILE for yourself: FILE.Vtf is written next to it. With the setting\n"
    "DeleteAfterEncrypt the original is removed once the locked file is safely on disk.\n";
const char* kGrantHelp =
    "usage: vlt grant [--to NAME [--system]] FILE...\n"
    "Locks each FILE for the person NAME of your personal certificate store (or, with\n"
    "--system, of the machine's store). Only that person can unlock the files. Without --to\n"
    "the two stores are listed and you choose.\n";
const char* kUnlockHelp =
    "usage: vlt unlock [--password-stdin] [--yes|--no] [--output-name NAME] FILE.Vtf...\n"
    "Unlocks each locked file next to itself, under the name it had when it was locked.\n"
    "Asks for your VLT password only while the profile is locked. When a file of that name\n"
    "exists you are asked whether to replace it; --no with --output-name NAME picks another name.\n"
    "Ctrl-C cancels after the current chunk; a partly written file is removed.\n";
const char* kShredHelp =
    "usage: vlt shred [--yes] FILE...\n"
    "Destroys each FILE: overwritten twice (zeros, then \"1\"s), synced, then removed. Asks for\n"
    "confirmation first; without --yes and without a terminal nothing is destroyed.\n";

using shellext::kGrantDialog;
using shellext::kGrantLockButton;
using shellext::kPersonalList;
using shellext::kSystemList;

// Where unlocking a locked file writes, from its header; nothing for a file that is not one.
std::optional<std::string> unlockTarget(const std::string& path) {
    auto input = sys::openRegularFile(path);
    if (!input) return std::nullopt;
    sys::BufferedReader reader(input->fd, 1 << 16);
    ReaderSource source(reader);
    const auto head = readLockedFileHead(source, input->size);
    close(input->fd);
    if (head.status != HeadStatus::Ok) return std::nullopt;
    return sys::folderOf(path) + "/" + nameFromHeader(head.header.sourceName);
}

// Picks the person in the grant dialog as the user would, or cancels it when NAME is not in
// the chosen store.
void presetGrant(frontends::FrontendScope& frontend, const std::string& name, bool system) {
    frontend.presetDialog(kGrantDialog, [name, system](HWND dialog) {
        HWND list = GetDlgItem(dialog, system ? kSystemList : kPersonalList);
        ui::WindowState state;
        if (ui::describe(list, state)) {
            for (std::size_t i = 0; i < state.items.size(); ++i) {
                if (state.items[i].text == name) {
                    ui::input::selectItem(list, static_cast<int>(i));
                    ui::input::click(GetDlgItem(dialog, kGrantLockButton));
                    return true;
                }
            }
        }
        std::fprintf(stderr, "vlt: there is no \"%s\" in the %s certificate store\n", registry::fromAnsi(name).c_str(),
                     system ? "system" : "personal");
        ui::input::close(dialog);
        return true;
    });
}

int runVerb(host::FileCommand verb, const Args& args, const char* help, std::optional<std::string> grantTo = std::nullopt,
            bool system = false) {
    if (args.operands().empty()) return usageError("no file given", help);
    frontends::FrontendChoice choice = frontendChoice(args);
    if (args.flag("--password-stdin")) {
        auto line = host::readPasswordLine();
        if (!line) {
            std::fprintf(stderr, "vlt: %s\n", line.error().message.c_str());
            return kFailed;
        }
        choice.password = std::move(*line);  // moved, not copied: one copy to wipe
    }

    // The tray program hears about every unlock through its window.
    (void)ipc::enable();
    int argc = 1;
    char name[] = "vlt";
    char* argv[] = {name, nullptr};
    frontends::FrontendScope frontend(choice, argc, argv);
    if (!frontend.ok()) return usageError(frontend.error(), help);
    if (grantTo) presetGrant(frontend, *grantTo, system);

    const auto files = host::absolutePaths(args.operands());
    std::vector<std::optional<std::string>> targets;
    if (verb == host::kUnlockCommand)
        for (const auto& f : files) targets.push_back(unlockTarget(f));
    const host::RunOutcome outcome(verb, files, std::move(targets));
    outcome.reportFolders("vlt");
    if (outcome.onlyFolders()) return kFailed;

    host::ShellHost shell;
    if (auto loaded = shell.load(files); !loaded) {
        std::fprintf(stderr, "vlt: %s\n", loaded.error().message.c_str());
        return kFailed;
    }
    shell.buildMenu();
    if (auto r = shell.invoke("Vaultine", verb); !r) {
        std::fprintf(stderr, "vlt: %s\n", r.error().message.c_str());
        return kFailed;
    }
    const bool shownOk = frontend.exitStatus(shellext::kProgressDialog) == kOk;
    return shownOk && outcome.complete(frontend.observed()) ? kOk : kFailed;
}

Args parse(const std::vector<std::string>& words, std::vector<std::string> flags = {},
           std::vector<std::string> valued = {}) {
    return Args(words, std::move(flags), std::move(valued));
}

bool wantsHelp(const Args& args) { return args.flag("--help") || args.flag("-h"); }

}  // namespace

int cmdLock(const std::vector<std::string>& words) {
    Args args = parse(words);
    if (!args.ok()) return usageError(args.error(), kLockHelp);
    if (wantsHelp(args)) return std::fputs(kLockHelp, stdout), kOk;
    return runVerb(host::kLockCommand, args, kLockHelp);
}

int cmdGrant(const std::vector<std::string>& words) {
    Args args = parse(words, {"--system"}, {"--to"});
    if (!args.ok()) return usageError(args.error(), kGrantHelp);
    if (wantsHelp(args)) return std::fputs(kGrantHelp, stdout), kOk;
    const auto to = args.value("--to");
    if (to && to->empty()) return usageError("--to needs a name", kGrantHelp);
    if (!to && args.flag("--system")) return usageError("--system goes with --to NAME", kGrantHelp);
    std::optional<std::string> person;
    if (to) {
        // The stores name people in the ANSI code page; the terminal types UTF-8.
        auto ansi = registry::toAnsi(*to);
        if (!ansi) {
            std::fprintf(stderr, "vlt: there is no \"%s\" in the %s certificate store: %s\n", to->c_str(),
                         args.flag("--system") ? "system" : "personal", ansi.error().message.c_str());
            return kFailed;
        }
        person = std::move(*ansi);
    }
    return runVerb(host::kGrantCommand, args, kGrantHelp, person, args.flag("--system"));
}

int cmdUnlock(const std::vector<std::string>& words) {
    Args args = parse(words);
    if (!args.ok()) return usageError(args.error(), kUnlockHelp);
    if (wantsHelp(args)) return std::fputs(kUnlockHelp, stdout), kOk;
    return runVerb(host::kUnlockCommand, args, kUnlockHelp);
}

int cmdShred(const std::vector<std::string>& words) {
    Args args = parse(words);
    if (!args.ok()) return usageError(args.error(), kShredHelp);
    if (wantsHelp(args)) return std::fputs(kShredHelp, stdout), kOk;
    return runVerb(host::kShredCommand, args, kShredHelp);
}

}  // namespace vlt::cli
