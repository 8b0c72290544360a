// vlt lock, grant, unlock, shred: the shell extension's commands, run through VTMenu32 as the
// shell host loads it, so that the command line and the file managers behave alike.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <optional>

#include "cli.h"
#include "frontends/tty/tty_frontend.h"
#include "hosts/shell/host_frontend.h"
#include "hosts/shell/shell_host.h"
#include "ipc/ipc.h"
#include "shellext/file_ops.h"
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

// The shell extension's command offsets.
enum Verb : unsigned { kLock = 0, kGrant = 1, kUnlock = 2, kShred = 3 };
constexpr int kGrantDialog = 141;
constexpr int kPersonalList = 1001;
constexpr int kSystemList = 1002;
constexpr int kGrantLockButton = 1000;

// A file as it was before the run. Outputs are renamed into place, so a file written by the
// run is a new inode (comparing times would trip over the file system's coarser clock).
struct Before {
    bool existed = false;
    dev_t device = 0;
    ino_t inode = 0;
};

Before before(const std::string& path) {
    struct stat st {};
    if (lstat(path.c_str(), &st) != 0) return {};
    return {true, st.st_dev, st.st_ino};
}

bool written(const std::string& path, const Before& was) {
    struct stat st {};
    if (lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
    return !was.existed || st.st_dev != was.device || st.st_ino != was.inode;
}

bool isRegularFile(const std::string& path) {
    struct stat st {};
    return lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// Where unlocking a locked file writes, from its header; nothing for a file that is not one.
std::optional<std::string> unlockTarget(const std::string& path) {
    auto input = sys::openRegularFile(path);
    if (!input) return std::nullopt;
    sys::BufferedReader reader(input->fd, 1 << 16);
    shellext::ReaderSource source(reader);
    const auto head = shellext::readLockedFileHead(source, input->size);
    close(input->fd);
    if (head.status != shellext::HeadStatus::Ok) return std::nullopt;
    return sys::folderOf(path) + "/" + shellext::nameFromHeader(head.header.sourceName);
}

// Did the files come out as asked? What the user was shown covers most failures; the files
// themselves cover the rest (a cancelled run, a grant without a key and no message).
bool outcomesPresent(Verb verb, const std::vector<std::string>& files, const std::vector<std::optional<std::string>>& targets,
                     const std::vector<Before>& was, const host::Observed& seen) {
    for (std::size_t i = 0; i < files.size(); ++i) {
        switch (verb) {
            case kLock:
            case kGrant:
                if (!written(files[i] + ".Vtf", was[i])) return false;
                break;
            case kUnlock: {
                const bool elsewhere = !seen.savedTo.empty();  // the user chose another name
                if (!targets[i] || (!written(*targets[i], was[i]) && !elsewhere)) return false;
                break;
            }
            case kShred:
                if (isRegularFile(files[i])) return false;
                break;
        }
    }
    return true;
}

// Picks the person in the grant dialog as the user would, or cancels it when NAME is not in
// the chosen store.
void presetGrant(host::FrontendScope& frontend, const std::string& name, bool system) {
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
        std::fprintf(stderr, "vlt: there is no \"%s\" in the %s certificate store\n", name.c_str(),
                     system ? "system" : "personal");
        ui::input::close(dialog);
        return true;
    });
}

int runVerb(Verb verb, const Args& args, const char* help, std::optional<std::string> grantTo = std::nullopt,
            bool system = false) {
    if (args.operands().empty()) return usageError("no file given", help);
    host::FrontendChoice choice;
    choice.kind = args.value("--answers") ? host::FrontendChoice::Kind::Headless : host::FrontendChoice::Kind::Tty;
    choice.answers = args.value("--answers").value_or("");
    choice.transcript = args.value("--transcript").value_or("");
    if (args.flag("--yes")) choice.yes = true;
    if (args.flag("--no")) choice.yes = false;
    choice.outputName = args.value("--output-name");
    if (args.flag("--password-stdin")) {
        auto line = frontends::readFirstStdinLine();
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
    host::FrontendScope frontend(choice, argc, argv);
    if (!frontend.ok()) return usageError(frontend.error(), help);
    if (grantTo) presetGrant(frontend, *grantTo, system);

    const auto files = host::absolutePaths(args.operands());
    std::vector<std::optional<std::string>> targets;
    std::vector<Before> was;
    for (const auto& f : files) {
        if (verb == kUnlock) targets.push_back(unlockTarget(f));
        was.push_back(before(verb == kUnlock ? targets.back().value_or("") : f + ".Vtf"));
    }

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
    const bool shownOk = frontend.exitStatus(true) == kOk;
    return shownOk && outcomesPresent(verb, files, targets, was, frontend.observed()) ? kOk : kFailed;
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
    return runVerb(kLock, args, kLockHelp);
}

int cmdGrant(const std::vector<std::string>& words) {
    Args args = parse(words, {"--system"}, {"--to"});
    if (!args.ok()) return usageError(args.error(), kGrantHelp);
    if (wantsHelp(args)) return std::fputs(kGrantHelp, stdout), kOk;
    const auto to = args.value("--to");
    if (to && to->empty()) return usageError("--to needs a name", kGrantHelp);
    if (!to && args.flag("--system")) return usageError("--system goes with --to NAME", kGrantHelp);
    return runVerb(kGrant, args, kGrantHelp, to, args.flag("--system"));
}

int cmdUnlock(const std::vector<std::string>& words) {
    Args args = parse(words);
    if (!args.ok()) return usageError(args.error(), kUnlockHelp);
    if (wantsHelp(args)) return std::fputs(kUnlockHelp, stdout), kOk;
    return runVerb(kUnlock, args, kUnlockHelp);
}

int cmdShred(const std::vector<std::string>& words) {
    Args args = parse(words);
    if (!args.ok()) return usageError(args.error(), kShredHelp);
    if (wantsHelp(args)) return std::fputs(kShredHelp, stdout), kOk;
    return runVerb(kShred, args, kShredHelp);
}

}  // namespace vlt::cli
