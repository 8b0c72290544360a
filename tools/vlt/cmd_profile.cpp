// vlt profile create, lock, show, passwd, backup and export.
#include <cstdio>

#include "applet/settings_store.h"
#include "base/wipe.h"
#include "cli.h"
#include "registry/nls.h"
#include "shared/backup_file.h"
#include "shared/certificate_record.h"
#include "shared/file_header.h"
#include "shared/profile_file.h"
#include "shared/profile_keys.h"
#include "shared/registry_binary.h"
#include "shared/registry_key.h"
#include "shared/registry_layout.h"
#include "win32/winuser.h"
#include "wizard/profile_work.h"

namespace vlt::cli {

const char* const kProfileHelp =
    "usage: vlt profile create --name NAME [--email E] [--street S] [--city C] [--state ST]\n"
    "                          [--password-stdin] [--yes|--no]\n"
    "       vlt profile lock\n"
    "       vlt profile show\n"
    "       vlt profile passwd [--password-stdin]\n"
    "       vlt profile backup FILE.Vtb\n"
    "       vlt profile export FILE.Vtp\n"
    "       vlt profile restore FILE.Vtb [--yes|--no]\n"
    "       vlt profile upgrade [--password-stdin]\n"
    "\n"
    "create  makes your profile: a key pair for the Base and one for the Enhanced provider,\n"
    "        both wrapped under the password you type (twice), with your identity in the\n"
    "        certificate records. Over an existing profile it asks first (default No;\n"
    "        --yes replaces it): files locked for the old profile cannot be unlocked any more.\n"
    "        The password has 1 to 99 characters. When no settings exist yet, it writes what the\n"
    "        applet's settings page writes on its first visit (the first entry of each list).\n"
    "lock    removes the unlock cache: the next unlock asks for the password again.\n"
    "show    your name, e-mail address, street, city and state, and the key of each provider.\n"
    "passwd  changes your VLT password: asks for the old one, the new one and the new one again\n"
    "        (with --password-stdin: the old on line 1, the new on line 2). Files stay as they are.\n"
    "backup  writes everything needed to restore the profile elsewhere (both key pairs, still\n"
    "        wrapped under your password, and both certificate stores) to FILE.Vtb, readable by you\n"
    "        alone.\n"
    "export  writes your certificate file FILE.Vtp, which other people import to lock files\n"
    "        for you. It needs your settings saved (vlt settings, or the applet's settings page).\n"
    "restore puts the profile and both certificate stores of a backup in place, as the wizard's\n"
    "        import does. Over an existing profile it asks first (default No; --yes replaces it).\n"
    "        A damaged or foreign file, or a system store you may not change, changes nothing.\n"
    "upgrade adds an Enhanced (128-bit) key pair to a profile that has the Base pair only, after\n"
    "        checking your password.\n";

namespace {

// The applet's question before it replaces a profile.
const char* kReplaceProfileQuestion =
    "You already have a profile.\nIf you create a new profile all the files locked with the current profile will "
    "be rendered useless.\n\n Do you still want to continue?";

// Asks, as the applet does, before a new profile makes every file locked for the old one
// useless. true when there is no profile or the user said Yes.
bool mayReplaceProfile(const Args& args) {
    if (!profileExists()) return true;
    int argc = 1;
    char name[] = "vlt";
    char* argv[] = {name, nullptr};
    frontends::FrontendScope frontend(frontendChoice(args), argc, argv);
    if (!frontend.ok()) {
        std::fprintf(stderr, "vlt: %s\n", frontend.error().c_str());
        return false;
    }
    return MessageBoxA(nullptr, kReplaceProfileQuestion, kStatusCaption, MB_YESNO | MB_ICONEXCLAMATION | MB_DEFBUTTON2) ==
           IDYES;
}

int create(const std::vector<std::string>& words) {
    Args args(words, {}, {"--name", "--email", "--street", "--city", "--state"});
    if (!args.ok()) return usageError(args.error(), kProfileHelp);
    if (!args.operands().empty()) return usageError("unexpected " + args.operands().front(), kProfileHelp);
    const auto name = args.value("--name");
    if (!name || name->empty()) return usageError("--name NAME is required", kProfileHelp);

    Identity identity;
    const std::pair<const char*, std::string*> fields[] = {{"--name", &identity.displayName},
                                                           {"--email", &identity.eMailId},
                                                           {"--street", &identity.street},
                                                           {"--city", &identity.city},
                                                           {"--state", &identity.state}};
    for (const auto& [option, target] : fields) {
        auto ansi = registry::toAnsi(args.value(option).value_or(""));
        if (!ansi) {
            std::fprintf(stderr, "vlt: %s: %s\n", option, ansi.error().message.c_str());
            return kFailed;
        }
        *target = *ansi;
    }

    if (!mayReplaceProfile(args)) {
        std::fputs("vlt: the existing profile is kept\n", stderr);
        return kFailed;
    }
    auto password = readPassword(args, "New VLT password: ", true);
    if (!password) {
        std::fprintf(stderr, "vlt: %s\n", password.error().message.c_str());
        return kFailed;
    }
    if (auto usable = checkNewPassword(*password); !usable) {
        base::secureWipe(*password);
        std::fprintf(stderr, "vlt: %s\n", usable.error().message.c_str());
        return kFailed;
    }
    // The keys are made first (as the wizard's Finish does), so that the hive is held only while
    // they are stored.
    auto made = wizard::makeProfilePairs(wizard::WizardMode::Create, *password, identity);
    const std::vector<NewKeyPair> pairs = made ? std::move(*made) : std::vector<NewKeyPair>();
    base::secureWipe(*password);
    // A cache of the old profile's keys must not outlive it: dropped before, and after in case
    // an unlock filled it from the old keys meanwhile.
    if (pairs.empty() || !lockProfile()) {
        std::fputs("vlt: the profile could not be created\n", stderr);
        return kFailed;
    }
    {
        RegistryTransaction transaction;
        bool stored = wizard::storeProfilePairs(wizard::WizardMode::Create, pairs);
        if (stored) {
            // The settings page's first visit, over the new keys: when no settings exist yet,
            // the first entry of each list and every flag off, written as the page writes them.
            applet::SettingsChoices choices;
            applet::fillAlgorithmLists(choices.lists, nullptr);
            applet::loadSettings(
                choices, [&stored](const applet::SettingsChoices& now) { stored = applet::writeSettings(now); });
            stored = stored && transaction.Commit() == ERROR_SUCCESS;
        }
        if (!stored) {
            std::fputs("vlt: the profile could not be created\n", stderr);
            return kFailed;
        }
    }
    if (!lockProfile()) std::fputs("vlt: the profile could not be locked\n", stderr);
    if (pairs.size() == 1) std::fputs("vlt: the Enhanced key pair could not be created; the profile has the Base pair only\n", stderr);
    std::printf("Profile created for %s.\n", name->c_str());
    return kOk;
}


// The change-password dialog's and the certificate card's texts.
const char* kPasswordsDiffer = "The new and confirmed passwords do not match. Please type them again.";
const char* kWrongOldPassword = "The VLT password you typed is incorrect.";
const char* kPasswordChanged = "Your VLT password has been successfully changed.";
const char* kExportNeedsSettings =
    "An error ocured while trying to export your profile.\nEnsure to select \"VLT Settings\" tab before exporting "
    "your profile.";

int noProfile() {
    std::fputs("vlt: there is no VLT profile; create one with 'vlt profile create'\n", stderr);
    return kFailed;
}

// The RSA key's length in bits, from the record's public key blob; 0 when it cannot be read.
DWORD keyBits(ByteView record, Provider provider) {
    auto blob = certificateKeyBlob(record);
    if (!blob) return 0;
    HCRYPTPROV prov = 0;
    if (!CryptAcquireContextA(&prov, nullptr, providerName(provider), PROV_RSA_FULL, CRYPT_VERIFYCONTEXT)) return 0;
    DWORD bits = 0;
    HCRYPTKEY key = 0;
    if (CryptImportKey(prov, blob->data(), static_cast<DWORD>(blob->size()), 0, 0, &key)) {
        DWORD size = sizeof bits;
        if (!CryptGetKeyParam(key, KP_KEYLEN, reinterpret_cast<BYTE*>(&bits), &size, 0)) bits = 0;
        CryptDestroyKey(key);
    }
    CryptReleaseContext(prov, 0);
    return bits;
}

int show(const Args& args) {
    if (!args.operands().empty()) return usageError("profile show takes no arguments", kProfileHelp);
    RegistryKey profile;
    if (profile.Open(HKEY_CURRENT_USER, layout::kProfileKey, KEY_READ) != ERROR_SUCCESS) return noProfile();
    const auto base = readBinaryValue(profile, layout::kExchangeBlob1);
    if (!base) return noProfile();
    auto record = parseCertificateRecord(*base);
    if (!record) {
        std::fprintf(stderr, "vlt: your certificate record is damaged: %s\n", record.error().message.c_str());
        return kFailed;
    }
    const Identity& id = record->identity;
    const std::pair<const char*, const std::string*> fields[] = {
        {"Name", &id.displayName}, {"E-mail", &id.eMailId}, {"Street", &id.street}, {"City", &id.city}, {"State", &id.state}};
    for (const auto& [label, value] : fields) std::printf("%-9s %s\n", (std::string(label) + ":").c_str(), registry::fromAnsi(*value).c_str());
    const auto enhanced = readBinaryValue(profile, layout::kExchangeBlob3);
    for (const Provider provider : {Provider::Base, Provider::Enhanced}) {
        const std::optional<Bytes>& blob = provider == Provider::Base ? base : enhanced;
        if (!blob || blob->empty()) {
            std::printf("%s: no key pair\n", providerName(provider));
            continue;
        }
        const DWORD bits = keyBits(*blob, provider);
        if (bits == 0) std::printf("%s: a key pair whose public key cannot be read\n", providerName(provider));
        else std::printf("%s: RSA key exchange, %lu bits\n", providerName(provider), static_cast<unsigned long>(bits));
    }
    return kOk;
}

int passwd(const Args& args) {
    if (!args.operands().empty()) return usageError("profile passwd takes no arguments", kProfileHelp);
    if (!profileExists()) return noProfile();
    const bool fromStdin = args.flag("--password-stdin");
    auto oldPassword = readPassword(args, "Old VLT password: ", false);
    if (!oldPassword) {
        std::fprintf(stderr, "vlt: %s\n", oldPassword.error().message.c_str());
        return kFailed;
    }
    auto newPassword = readPassword(args, "New VLT password: ", false);
    if (!newPassword) {
        base::secureWipe(*oldPassword);
        std::fprintf(stderr, "vlt: %s\n", newPassword.error().message.c_str());
        return kFailed;
    }
    bool confirmed = true;
    if (!fromStdin) {
        auto again = readPassword(args, "Confirm new VLT password: ", false);
        confirmed = again && *again == *newPassword;  // exact, as the dialog compares
        if (again) base::secureWipe(*again);
    }
    int status = kOk;
    if (!confirmed) {
        std::fprintf(stderr, "vlt: %s\n", kPasswordsDiffer);
        status = kFailed;
    } else if (auto usable = checkNewPassword(*newPassword); !usable) {
        std::fprintf(stderr, "vlt: %s\n", usable.error().message.c_str());
        status = kFailed;
    } else if (!changePassword(*oldPassword, *newPassword)) {
        std::fprintf(stderr, "vlt: %s\n", kWrongOldPassword);
        status = kFailed;
    } else {
        std::printf("%s\n", kPasswordChanged);
    }
    base::secureWipe(*oldPassword);
    base::secureWipe(*newPassword);
    return status;
}

// FILE of backup/export: exactly one operand.
std::optional<std::string> oneFile(const Args& args, const char* what) {
    if (args.operands().size() == 1 && !args.operands().front().empty()) return args.operands().front();
    usageError(std::string("profile ") + what + " takes one file name", kProfileHelp);
    return std::nullopt;
}

int backup(const Args& args) {
    const auto path = oneFile(args, "backup");
    if (!path) return kUsage;
    if (!profileExists()) return noProfile();
    if (writeBackup(*path) != 1) {
        std::fprintf(stderr, "vlt: the backup could not be written to %s; nothing was left there\n", path->c_str());
        return kFailed;
    }
    std::printf("Profile backed up to %s.\n", path->c_str());
    return kOk;
}

int exportProfile(const Args& args) {
    const auto path = oneFile(args, "export");
    if (!path) return kUsage;
    if (!profileExists()) return noProfile();
    // The card's message: without the settings saved there is no algorithm to hand over.
    if (!collectOwnStoreEntry()) {
        std::fprintf(stderr, "vlt: %s\n", kExportNeedsSettings);
        return kFailed;
    }
    if (writeProfileFile(*path) != 1) {
        std::fprintf(stderr, "vlt: the certificate file could not be written to %s; nothing was left there\n",
                     path->c_str());
        return kFailed;
    }
    std::printf("Certificate exported to %s.\n", path->c_str());
    return kOk;
}

}  // namespace

int cmdProfile(const std::vector<std::string>& words) {
    if (words.empty()) return std::fputs(kProfileHelp, stderr), kUsage;
    const std::vector<std::string> rest(words.begin() + 1, words.end());
    if (words.front() == "create") return create(rest);
    if (words.front() == "lock") {
        Args args(rest, {}, {});
        if (!args.ok() || !args.operands().empty()) return usageError("profile lock takes no arguments", kProfileHelp);
        if (!lockProfile()) {
            std::fputs("vlt: the profile could not be locked\n", stderr);
            return kFailed;
        }
        return kOk;
    }
    using Command = int (*)(const Args&);
    const std::pair<const char*, Command> commands[] = {
        {"show", show},       {"passwd", passwd},          {"backup", backup},
        {"export", exportProfile}, {"restore", profileRestore}, {"upgrade", profileUpgrade}};
    for (const auto& [name, command] : commands) {
        if (words.front() != name) continue;
        Args args(rest, {}, {});
        if (!args.ok()) return usageError(args.error(), kProfileHelp);
        return command(args);
    }
    return usageError("unknown profile command '" + words.front() + "'", kProfileHelp);
}

}  // namespace vlt::cli
