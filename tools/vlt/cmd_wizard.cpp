// vlt wizard, vlt profile restore and vlt profile upgrade: the profile wizard as at login, and
// its import and upgrade without the pages.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "base/paths.h"
#include "base/wipe.h"
#include "cli.h"
#include "shared/backup_file.h"
#include "shared/certificate_store.h"
#include "shared/file_io.h"
#include "shared/profile_keys.h"
#include "shared/registry_key.h"
#include "shared/registry_layout.h"
#include "win32/winuser.h"
#include "wizard/profile_work.h"

namespace vlt::cli {

const char* const kWizardHelp =
    "usage: vlt wizard [--qt | --tty | --answers FILE [--transcript FILE]]\n"
    "Runs the profile wizard VTInit32 as at login: it creates your profile when there is none,\n"
    "adds an Enhanced key pair to a profile without one, or does nothing (and shows nothing)\n"
    "when the profile needs no work or you asked it not to show itself again. In a window with\n"
    "a display, else in the terminal.\n";

namespace {

const char* kProfileUsage = "see 'vlt profile --help'\n";

const char* kRestoreQuestion =
    "You already have a profile.\nRestoring the backup replaces it: files locked with the current profile can no "
    "longer be unlocked.\n\n Do you still want to continue?";

bool hasEnhancedPair() {
    RegistryKey profile;
    DWORD type = 0;
    return profile.Open(HKEY_CURRENT_USER, layout::kProfileKey, KEY_READ) == ERROR_SUCCESS &&
           RegQueryValueExA(profile.Handle(), layout::kExchangeBlob3, nullptr, &type, nullptr, nullptr) ==
               ERROR_SUCCESS;
}

}  // namespace

int cmdWizard(const std::vector<std::string>& words) {
    Args args(words, {"--qt", "--tty"}, {});
    if (!args.ok()) return usageError(args.error(), kWizardHelp);
    if (!args.operands().empty()) return usageError("unexpected " + args.operands().front(), kWizardHelp);
    const std::string program = base::systemDir() + "/VTInit32";
    return runInstead({program}, args, {"--qt", "--tty"});
}

int profileRestore(const Args& args) {
    if (args.operands().size() != 1 || args.operands().front().empty())
        return usageError("profile restore takes one file name", kProfileUsage);
    const std::string path = args.operands().front();
    Bytes file;
    {
        const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) {
            std::fprintf(stderr, "vlt: cannot open %s: %s\n", path.c_str(), std::strerror(errno));
            return kFailed;
        }
        const ReadOutcome read = readWholeFile(fd, file);
        ::close(fd);
        // An empty file is the restore's own "File open error".
        if (read != ReadOutcome::Ok && read != ReadOutcome::Empty) {
            std::fprintf(stderr, "vlt: cannot read %s\n", path.c_str());
            return kFailed;
        }
    }
    int argc = 1;
    char name[] = "vlt";
    char* argv[] = {name, nullptr};
    frontends::FrontendScope frontend(frontendChoice(args), argc, argv);
    if (!frontend.ok()) {
        std::fprintf(stderr, "vlt: %s\n", frontend.error().c_str());
        return kFailed;
    }
    // Checked whole before anything is asked or written.
    const auto backup = parseBackupFile(file);
    if (!backup) return RestoreBackup(file, nullptr), kFailed;
    if (backup->systemStore && !backup->systemStore->empty() && !mayChangeStore(CertificateStore::System)) {
        std::fprintf(stderr, "vlt: %s The backup holds entries of the system store; nothing was restored.\n",
                     kStoreChangeRefused);
        return kFailed;
    }
    if (profileExists() &&
        MessageBoxA(nullptr, kRestoreQuestion, "VLT Emergency Report", MB_YESNO | MB_ICONEXCLAMATION | MB_DEFBUTTON2) !=
            IDYES) {
        std::fputs("vlt: the existing profile is kept\n", stderr);
        return kFailed;
    }
    if (!RestoreBackup(file, nullptr)) {
        std::fputs("vlt: the profile could not be restored; nothing was changed\n", stderr);
        return kFailed;
    }
    std::printf("Profile restored from %s.\n", path.c_str());
    return kOk;
}

int profileUpgrade(const Args& args) {
    if (!args.operands().empty()) return usageError("unexpected " + args.operands().front(), kProfileUsage);
    if (!profileExists()) {
        std::fputs("vlt: there is no VLT profile; create one with 'vlt profile create'\n", stderr);
        return kFailed;
    }
    if (hasEnhancedPair()) {
        std::puts("The profile already has an Enhanced key pair.");
        return kOk;
    }
    const auto identity = wizard::readIdentity();
    if (!identity) {
        std::fputs("vlt: Unable to update your profile\n", stderr);
        return kFailed;
    }
    auto password = readPassword(args, "VLT password: ", false);
    if (!password) {
        std::fprintf(stderr, "vlt: %s\n", password.error().message.c_str());
        return kFailed;
    }
    const bool applied = wizard::applyProfile(wizard::WizardMode::Update, *password, *identity);
    base::secureWipe(*password);
    if (!applied) {
        std::fputs("vlt: The password you provided is not correct.\n\nVaultine could not update your profile.\n", stderr);
        return kFailed;
    }
    if (!hasEnhancedPair()) {
        std::fputs("vlt: the Enhanced key pair could not be created; the profile keeps its Base pair\n", stderr);
        return kFailed;
    }
    std::puts("Profile upgraded with an Enhanced key pair.");
    return kOk;
}

}  // namespace vlt::cli
