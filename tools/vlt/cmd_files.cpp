// vlt lock, vlt grant, vlt unlock: the shell extension's runs with a progress bar on the terminal.
#include <csignal>
#include <cstdio>

#include "base/wipe.h"
#include "cli.h"
#include "frontends/tty/progress_bar.h"
#include "shared/registry_key.h"
#include "shared/registry_layout.h"
#include "shellext/process_state.h"
#include "shellext/progress.h"
#include "shellext/workers.h"

namespace vlt::cli {
namespace {

const char* kLockHelp =
    "usage: vlt lock [--yes|--no] FILE...\n"
    "Locks each FILE for yourself: FILE.Vtf is written next to it. With the setting\n"
    "DeleteAfterEncrypt the original is removed once the locked file is safely on disk.\n";
const char* kGrantHelp =
    "usage: vlt grant --to NAME [--system] FILE...\n"
    "Locks each FILE for the person NAME of your personal certificate store (or, with\n"
    "--system, of the machine's store). Only that person can unlock the files.\n";
const char* kUnlockHelp =
    "usage: vlt unlock [--password-stdin] [--yes|--no] [--output-name NAME] FILE.Vtf...\n"
    "Unlocks each locked file next to itself, under the name it had when it was locked.\n"
    "Asks for your VLT password only while the profile is locked. When a file of that name\n"
    "exists you are asked whether to replace it; --no with --output-name NAME picks another name.\n"
    "Ctrl-C cancels after the current chunk; a partly written file is removed.\n";

class TerminalProgress final : public shellext::Progress {
public:
    void reset() override { m_bar.setPosition(0); }
    void showText(const std::string& text) override { m_bar.setText(text); }
    void setRange(std::uint16_t maximum) override { m_bar.setRange(maximum); }
    void step() override { m_bar.step(); }
    void close() override { m_bar.finish(); }

private:
    frontends::TtyProgressBar m_bar;
};

// Ctrl-C plays the progress dialog's Cancel button: the run stops after the current chunk.
// A second Ctrl-C ends the program at once.
void onInterrupt(int) {
    shellext::g_cancel.store(1);
    std::signal(SIGINT, SIG_DFL);
}

class RunScope {
public:
    RunScope() {
        shellext::g_progress.store(&m_progress);
        shellext::g_busy.store(1);
        m_previous = std::signal(SIGINT, onInterrupt);
    }
    ~RunScope() {
        std::signal(SIGINT, m_previous);
        shellext::g_progress.store(nullptr);
    }
    RunScope(const RunScope&) = delete;
    RunScope& operator=(const RunScope&) = delete;

private:
    TerminalProgress m_progress;
    void (*m_previous)(int) = SIG_DFL;
};

std::vector<std::string> absolutePaths(const std::vector<std::string>& operands) {
    std::vector<std::string> out;
    for (const auto& o : operands) out.push_back(absolutePath(o));
    return out;
}

int exitFor(const shellext::RunReport& report) { return report.allDone() ? kOk : kFailed; }

int lockFiles(const Args& args, const char* help, std::string recipient, DWORD storeFlag) {
    if (args.operands().empty()) return usageError("no file given", help);
    FrontendScope frontend(args);
    if (!frontend.ok()) return usageError(frontend.error(), help);
    shellext::OperationRequest request;
    request.selection = absolutePaths(args.operands());
    request.recipient = std::move(recipient);
    request.storeFlag = storeFlag;
    RunScope run;
    return exitFor(shellext::runLock(request));
}

bool profileIsUnlocked() {
    RegistryKey profile;
    profile.Create(HKEY_CURRENT_USER, layout::kProfileKey);
    LONG rc = 0;
    DWORD length = 0;
    auto cache = profile.QueryBinary(rc, layout::kTempExchangeBlob1, length);
    const bool present = cache && rc == ERROR_SUCCESS;
    if (cache) base::secureWipe(*cache);
    return present;
}

}  // namespace

int cmdLock(const std::vector<std::string>& words) {
    Args args(words, {}, {});
    if (!args.ok()) return usageError(args.error(), kLockHelp);
    if (args.flag("--help") || args.flag("-h")) return std::fputs(kLockHelp, stdout), kOk;
    return lockFiles(args, kLockHelp, "", 1);
}

int cmdGrant(const std::vector<std::string>& words) {
    Args args(words, {"--system"}, {"--to"});
    if (!args.ok()) return usageError(args.error(), kGrantHelp);
    if (args.flag("--help") || args.flag("-h")) return std::fputs(kGrantHelp, stdout), kOk;
    const auto to = args.value("--to");
    if (!to || to->empty()) return usageError("--to NAME is required", kGrantHelp);
    // The request keeps at most 99 characters of the name, as the grant dialog did.
    return lockFiles(args, kGrantHelp, to->substr(0, 99), args.flag("--system") ? 0 : 1);
}

int cmdUnlock(const std::vector<std::string>& words) {
    Args args(words, {}, {});
    if (!args.ok()) return usageError(args.error(), kUnlockHelp);
    if (args.flag("--help") || args.flag("-h")) return std::fputs(kUnlockHelp, stdout), kOk;
    if (args.operands().empty()) return usageError("no file given", kUnlockHelp);

    // Only a locked profile needs the password; the key load checks it on the first file.
    if (!profileIsUnlocked()) {
        for (;;) {
            auto password = readPassword(args, "VLT password: ", false);
            if (!password) {
                std::fprintf(stderr, "vlt: %s\n", password.error().message.c_str());
                return kFailed;
            }
            if (!password->empty()) {
                shellext::setPassword(password->data(), password->size());
                base::secureWipe(*password);
                break;
            }
            // An empty password is not accepted, as the password dialog stays open on one.
            if (args.flag("--password-stdin")) {
                std::fputs("vlt: the password is empty\n", stderr);
                return kFailed;
            }
        }
    }
    FrontendScope frontend(args);
    if (!frontend.ok()) return usageError(frontend.error(), kUnlockHelp);
    shellext::OperationRequest request;
    request.selection = absolutePaths(args.operands());
    RunScope run;
    const auto report = shellext::runUnlock(request);
    shellext::clearPassword();
    return exitFor(report);
}

}  // namespace vlt::cli
