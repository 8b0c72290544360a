// vlt profile create, vlt profile lock.
#include <cstdio>

#include "base/wipe.h"
#include "cli.h"
#include "registry/nls.h"
#include "shared/algorithm_word.h"
#include "shared/certificate_record.h"
#include "shared/file_header.h"
#include "shared/profile_keys.h"
#include "shared/registry_key.h"
#include "shared/registry_layout.h"
#include "win32/winuser.h"

namespace vlt::cli {
namespace {

const char* kProfileHelp =
    "usage: vlt profile create --name NAME [--email E] [--street S] [--city C] [--state ST]\n"
    "                          [--password-stdin] [--yes|--no]\n"
    "       vlt profile lock\n"
    "\n"
    "create  makes your profile: a key pair for the Base and one for the Enhanced provider,\n"
    "        both wrapped under the password you type (twice), with your identity in the\n"
    "        certificate records. Over an existing profile it asks first (default No;\n"
    "        --yes replaces it): files locked for the old profile cannot be unlocked any more.\n"
    "        The password has 1 to 99 characters. When no settings exist yet, it writes the\n"
    "        defaults (the first Enhanced encryption algorithm).\n"
    "lock    removes the unlock cache: the next unlock asks for the password again.\n";

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
    host::FrontendScope frontend(frontendChoice(args), argc, argv);
    if (!frontend.ok()) {
        std::fprintf(stderr, "vlt: %s\n", frontend.error().c_str());
        return false;
    }
    return MessageBoxA(nullptr, kReplaceProfileQuestion, kStatusCaption, MB_YESNO | MB_ICONEXCLAMATION | MB_DEFBUTTON2) ==
           IDYES;
}

// The first algorithm of a class that a provider lists, as the settings page selects it.
DWORD firstAlgorithm(const char* providerName, DWORD algClass) {
    HCRYPTPROV prov = 0;
    if (!CryptAcquireContextA(&prov, nullptr, providerName, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT)) return 0;
    DWORD found = 0;
    PROV_ENUMALGS alg{};
    DWORD size = sizeof alg;
    for (DWORD flags = CRYPT_FIRST; CryptGetProvParam(prov, PP_ENUMALGS, reinterpret_cast<BYTE*>(&alg), &size, flags);
         flags = 0, size = sizeof alg) {
        if (GET_ALG_CLASS(alg.aiAlgid) == algClass) {
            found = alg.aiAlgid;
            break;
        }
    }
    CryptReleaseContext(prov, 0);
    return found;
}

// What the settings page writes on its first visit: the first entry of each list and every
// flag off. Written only when no Encrypt setting exists yet.
void writeFirstSettings() {
    RegistryKey settings;
    if (settings.Create(HKEY_CURRENT_USER, layout::kSettingsKey) != ERROR_SUCCESS) return;
    DWORD encrypt = 0;
    if (settings.QueryDword(encrypt, layout::kEncrypt) == ERROR_SUCCESS) return;

    RegistryKey profile;
    profile.Open(HKEY_CURRENT_USER, layout::kProfileKey);
    LONG rc = 0;
    DWORD length = 0;
    const bool enhanced = profile.QueryBinary(rc, layout::kExchangeBlob3, length).has_value() && rc == ERROR_SUCCESS;
    encrypt = enhanced ? makeAlgorithmWord(firstAlgorithm(kEnhancedProviderName, ALG_CLASS_DATA_ENCRYPT),
                                           Provider::Enhanced)
                       : firstAlgorithm(kBaseProviderName, ALG_CLASS_DATA_ENCRYPT);
    settings.SetDword(0, layout::kDeleteAfterEncrypt);
    settings.SetDword(0, layout::kDeleteAfterDecrypt);
    settings.SetDword(0, layout::kAutoLock);
    settings.SetDword(encrypt, layout::kEncrypt);
    settings.SetDword(firstAlgorithm(kBaseProviderName, ALG_CLASS_HASH), layout::kHash);
    settings.SetDword(firstAlgorithm(kBaseProviderName, ALG_CLASS_SIGNATURE), layout::kSignature);
    settings.SetDword(firstAlgorithm(kBaseProviderName, ALG_CLASS_KEY_EXCHANGE), layout::kExchange);
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
    // The keys are made first, so that the hive is held only while they are stored.
    std::vector<NewKeyPair> pairs;
    for (const Provider provider : {Provider::Base, Provider::Enhanced}) {
        auto pair = makeKeyPair(provider, *password, identity);
        if (!pair) break;
        pairs.push_back(std::move(*pair));
    }
    base::secureWipe(*password);
    // A cache of the old profile's keys must not outlive it: dropped before, and after in case
    // an unlock filled it from the old keys meanwhile.
    if (pairs.empty() || !lockProfile()) {
        std::fputs("vlt: the profile could not be created\n", stderr);
        return kFailed;
    }
    {
        RegistryTransaction transaction;
        bool stored = storeKeyPairs(pairs);
        if (stored) {
            writeFirstSettings();
            stored = transaction.Commit() == ERROR_SUCCESS;
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

}  // namespace

int cmdProfile(const std::vector<std::string>& words) {
    if (words.empty() || words.front() == "--help" || words.front() == "-h") {
        std::fputs(kProfileHelp, words.empty() ? stderr : stdout);
        return words.empty() ? kUsage : kOk;
    }
    const std::vector<std::string> rest(words.begin() + 1, words.end());
    if (words.front() == "create") {
        for (const auto& w : rest)
            if (w == "--help" || w == "-h") return std::fputs(kProfileHelp, stdout), kOk;
        return create(rest);
    }
    if (words.front() == "lock") {
        Args args(rest, {}, {});
        if (!args.ok() || !args.operands().empty()) return usageError("profile lock takes no arguments", kProfileHelp);
        if (args.flag("--help") || args.flag("-h")) return std::fputs(kProfileHelp, stdout), kOk;
        if (!lockProfile()) {
            std::fputs("vlt: the profile could not be locked\n", stderr);
            return kFailed;
        }
        return kOk;
    }
    return usageError("unknown profile command '" + words.front() + "'", kProfileHelp);
}

}  // namespace vlt::cli
