#include "wizard/profile_work.h"

#include "shared/algorithm_word.h"
#include "shared/registry_binary.h"
#include "shared/registry_key.h"
#include "shared/registry_layout.h"
#include "win32/wincrypt.h"
#include "win32/winnetwk.h"
#include "win32/winreg.h"

namespace vlt::wizard {
namespace {

LONG openProfile(RegistryKey& profile, const char* path = layout::kProfileKey) {
    return profile.Create(HKEY_CURRENT_USER, path);
}

bool hasValue(RegistryKey& key, const char* name) {
    DWORD type = 0;
    return RegQueryValueExA(key.Handle(), name, nullptr, &type, nullptr, nullptr) == ERROR_SUCCESS;
}

}  // namespace

bool logonUserKnown() {
    char name[MAX_PATH] = {};
    DWORD size = MAX_PATH;
    return WNetGetUserA(nullptr, name, &size) == NO_ERROR && name[0] != '\0';
}

bool enhancedProviderAvailable() {
    HCRYPTPROV prov = 0;
    if (!CryptAcquireContextA(&prov, nullptr, kEnhancedProviderName, PROV_RSA_FULL, 0) &&
        !CryptAcquireContextA(&prov, nullptr, kEnhancedProviderName, PROV_RSA_FULL, CRYPT_NEWKEYSET))
        return false;
    CryptReleaseContext(prov, 0);
    return true;
}

StartupProbes systemProbes() { return {logonUserKnown, enhancedProviderAvailable}; }

StartupDecision decideStartup(const StartupProbes& probes) {
    StartupDecision decision;
    if (!probes.userKnown()) return decision;
    RegistryKey profile;
    // A key that cannot be made reads like an empty one: the wizard offers a creation.
    openProfile(profile);
    DWORD value = 0;
    if (profile.QueryDword(value, layout::kDisableSplash) == ERROR_SUCCESS && value == 1) return decision;
    if (profile.QueryDword(value, layout::kInitState) == ERROR_SUCCESS) {
        RegDeleteValueA(profile.Handle(), layout::kInitState);
        return {WizardMode::Create, value, true};
    }
    if (profile.QueryDword(value, layout::kInitUser) != ERROR_SUCCESS || value != 1)
        return {WizardMode::Create, 0, true};
    if (hasValue(profile, layout::kExchangeBlob3)) return decision;
    if (probes.enhancedAvailable()) return {WizardMode::Update, 0, true};
    return decision;
}

void cleanUpInitState() {
    RegistryKey profile;
    DWORD value = 0;
    if (openProfile(profile) == ERROR_SUCCESS && profile.QueryDword(value, layout::kInitState) == ERROR_SUCCESS)
        RegDeleteValueA(profile.Handle(), layout::kInitState);
}

bool rememberNoShow() {
    RegistryKey profile;
    return openProfile(profile) == ERROR_SUCCESS && profile.SetDword(1, layout::kDisableSplash) == ERROR_SUCCESS;
}

bool forgetProfile() {
    RegistryKey profile;
    if (openProfile(profile) != ERROR_SUCCESS) return false;
    const LONG rc = RegDeleteValueA(profile.Handle(), layout::kInitUser);
    return rc == ERROR_SUCCESS || rc == ERROR_FILE_NOT_FOUND;
}

std::optional<std::vector<NewKeyPair>> makeProfilePairs(WizardMode mode, std::string_view passwordAnsi,
                                                        const Identity& identity) {
    std::vector<NewKeyPair> pairs;
    if (mode == WizardMode::Create) {
        auto base = makeKeyPair(Provider::Base, passwordAnsi, identity);
        if (!base) return std::nullopt;
        pairs.push_back(std::move(*base));
    } else if (mode == WizardMode::Update) {
        if (!verifyPassword(passwordAnsi, AfterVerify::DeleteContainer)) return std::nullopt;
    } else {
        return std::nullopt;
    }
    // Without the Enhanced provider the profile keeps its Base pair; a later start offers the
    // upgrade once the provider is there.
    if (auto enhanced = makeKeyPair(Provider::Enhanced, passwordAnsi, identity)) pairs.push_back(std::move(*enhanced));
    return pairs;
}

bool storeProfilePairs(WizardMode mode, const std::vector<NewKeyPair>& pairs) {
    if (pairs.empty()) return mode == WizardMode::Update;
    return storeKeyPairs(pairs) || mode == WizardMode::Update;
}

bool applyProfile(WizardMode mode, std::string_view passwordAnsi, const Identity& identity) {
    const auto pairs = makeProfilePairs(mode, passwordAnsi, identity);
    return pairs && storeProfilePairs(mode, *pairs);
}

std::optional<Identity> readIdentity() {
    RegistryKey profile;
    if (openProfile(profile, layout::kProfileKeyUpper) != ERROR_SUCCESS) return std::nullopt;
    const auto record = readBinaryValue(profile, layout::kExchangeBlob1);
    if (!record) return std::nullopt;
    return certificateIdentity(*record);
}

}  // namespace vlt::wizard
