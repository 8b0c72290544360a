// vlt: every VLT operation from the command line, for users and scripts.
#include <cstdio>
#include <string>
#include <vector>

#include "base/harden.h"
#include "cli.h"
#include "shared/registry_layout.h"
#include "sys/stop_signals.h"

namespace {

const char* kHelp =
    "usage: vlt COMMAND [OPTIONS] [ARGS]\n"
    "\n"
    "commands:\n"
    "  profile create --name NAME [--email E] [--street S] [--city C] [--state ST]\n"
    "                      create your profile (a Base and an Enhanced key pair)\n"
    "  profile lock        lock the profile: the next unlock asks for the password\n"
    "  profile show | profile passwd | profile backup FILE.Vtb | profile export FILE.Vtp\n"
    "                      show the profile, change its password, back it up, export the\n"
    "                      certificate file others import\n"
    "  profile restore FILE.Vtb | profile upgrade\n"
    "                      restore a profile from a backup; add an Enhanced key pair to it\n"
    "  wizard              the profile wizard, as it runs at login\n"
    "  control             the applet \"VLT Certificate Settings\" (profile, stores, settings)\n"
    "  lock FILE...        lock files for yourself (FILE becomes FILE.Vtf)\n"
    "  grant [--to NAME [--system]] FILE...\n"
    "                      lock files for a person of your personal (or the system) store\n"
    "  unlock FILE...      unlock locked files; asks for the password while the profile is locked\n"
    "  shred [--yes] FILE...\n"
    "                      destroy files: overwritten twice, then removed\n"
    "  reg import FILE.reg | reg export [KEYPATH] [FILE] | reg query KEYPATH [VALUE]\n"
    "                      read and write the registry hives\n"
    "  desktop install | desktop uninstall\n"
    "                      add VLT to your file managers' context menus and start the tray\n"
    "                      program and the profile wizard at login, or remove it\n"
    "  cert list|import|show|delete [--system] ...\n"
    "                      the certificates of other people in your personal (or the system) store\n"
    "  settings [set NAME=VALUE...]\n"
    "                      show or change the algorithms, delete options and automatic locking\n"
    "  tray status         whether the running tray program has the profile locked, and for how long\n"
    "                      it stays unlocked\n"
    "\n"
    "common options:\n"
    "  --password-stdin    read the password from the first line of standard input\n"
    "  --yes, --no         answer questions (default: ask on a terminal, else the default button)\n"
    "  --output-name NAME  the new name when an unlocked file would replace another and you say no\n"
    "  --answers FILE      answer every message box and dialog from FILE (testing)\n"
    "  --transcript FILE   with --answers: write what was shown to FILE\n"
    "\n"
    "exit status: 0 every file done, 1 something failed, was refused or was cancelled, 2 usage error\n"
    "'vlt COMMAND [SUBCOMMAND] --help' shows a command's own help.\n";

struct Command {
    const char* name;
    int (*run)(const std::vector<std::string>& words);
    const char* help;
};

const Command kCommands[] = {
    {"profile", vlt::cli::cmdProfile, vlt::cli::kProfileHelp},
    {"lock", vlt::cli::cmdLock, vlt::cli::kLockHelp},
    {"grant", vlt::cli::cmdGrant, vlt::cli::kGrantHelp},
    {"unlock", vlt::cli::cmdUnlock, vlt::cli::kUnlockHelp},
    {"shred", vlt::cli::cmdShred, vlt::cli::kShredHelp},
    {"reg", vlt::cli::cmdReg, vlt::cli::kRegHelp},
    {"desktop", vlt::cli::cmdDesktop, vlt::cli::kDesktopHelp},
    {"tray", vlt::cli::cmdTray, vlt::cli::kTrayHelp},
    {"control", vlt::cli::cmdControl, vlt::cli::kControlHelp},
    {"cert", vlt::cli::cmdCert, vlt::cli::kCertHelp},
    {"settings", vlt::cli::cmdSettings, vlt::cli::kSettingsHelp},
    {"wizard", vlt::cli::cmdWizard, vlt::cli::kWizardHelp},
};

// --help or -h anywhere before "--" asks for the command's help instead of running it.
bool asksForHelp(const std::vector<std::string>& words) {
    for (const auto& w : words) {
        if (w == "--") return false;
        if (w == "--help" || w == "-h") return true;
    }
    return false;
}

int run(std::vector<std::string> words) {
    if (words.empty()) {
        std::fputs(kHelp, stderr);
        return vlt::cli::kUsage;
    }
    const std::string command = words.front();
    words.erase(words.begin());
    if (command == "--help" || command == "-h" || command == "help") {
        std::fputs(kHelp, stdout);
        return vlt::cli::kOk;
    }
    for (const Command& c : kCommands) {
        if (command != c.name) continue;
        if (asksForHelp(words)) {
            std::fputs(c.help, stdout);
            return vlt::cli::kOk;
        }
        // The unlock cache must never reach the disk, whatever this run does.
        vlt::layout::declareVolatileValues();
        return c.run(words);
    }
    std::fprintf(stderr, "vlt: unknown command '%s'\n\n%s", command.c_str(), kHelp);
    return vlt::cli::kUsage;
}

}  // namespace

int main(int argc, char** argv) {
    // Before any password or key is in memory.
    vlt::base::hardenProcess();
    vlt::sys::cancelOnStopSignals();
    const int status = run(std::vector<std::string>(argv + 1, argv + argc));
    return vlt::cli::finishOutput(vlt::sys::stopSignalled() ? vlt::cli::kFailed : status);
}
