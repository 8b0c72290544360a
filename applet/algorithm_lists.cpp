#include "applet/algorithm_lists.h"

#include <array>
#include <cstdio>
#include <cstring>

#include "applet/applet_app.h"
#include "shared/algorithm_word.h"
#include "shared/registry_key.h"
#include "shared/registry_layout.h"
#include "win32/winbase.h"
#include "win32/wincrypt.h"
#include "win32/winuser.h"

namespace vlt::applet {
namespace {

char lowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool equalIgnoringCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (lowerAscii(a[i]) != lowerAscii(b[i])) return false;
    return true;
}

bool hasValue(RegistryKey& profile, const char* name) {
    return RegQueryValueExA(profile.Handle(), name, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

void deleteContainer(Provider provider) {
    HCRYPTPROV gone = 0;
    CryptAcquireContextA(&gone, kEnumerationContainer, providerName(provider), PROV_RSA_FULL, CRYPT_DELETEKEYSET);
}

HCRYPTPROV acquireContainer(Provider provider) {
    HCRYPTPROV prov = 0;
    if (CryptAcquireContextA(&prov, kEnumerationContainer, providerName(provider), PROV_RSA_FULL, 0)) return prov;
    if (CryptAcquireContextA(&prov, kEnumerationContainer, providerName(provider), PROV_RSA_FULL, CRYPT_NEWKEYSET))
        return prov;
    return 0;
}

std::string withBits(const std::string& name, DWORD bits) {
    char suffix[24];
    std::snprintf(suffix, sizeof suffix, "  [%u]", static_cast<unsigned>(bits));
    return name + suffix;
}

// Enumerates the provider's algorithms into the lists; true when the enumeration ran to its
// end (ERROR_NO_MORE_ITEMS).
bool enumerate(HCRYPTPROV prov, Provider provider, AlgorithmLists& lists) {
    std::array<BYTE, 1000> buffer{};
    for (;;) {
        DWORD size = static_cast<DWORD>(buffer.size());
        if (!CryptGetProvParam(prov, PP_ENUMALGS, buffer.data(), &size, 0)) return GetLastError() == ERROR_NO_MORE_ITEMS;
        PROV_ENUMALGS alg{};
        std::memcpy(&alg, buffer.data(), sizeof alg);
        const std::string name(alg.szName, strnlen(alg.szName, std::min<std::size_t>(alg.dwNameLen, sizeof alg.szName)));
        switch (GET_ALG_CLASS(alg.aiAlgid)) {
            case ALG_CLASS_DATA_ENCRYPT:
                lists.encrypt.entries.push_back({withBits(name, alg.dwBitLen), makeAlgorithmWord(alg.aiAlgid, provider)});
                break;
            case ALG_CLASS_HASH:
                if (provider == Provider::Base) lists.hash.entries.push_back({withBits(name, alg.dwBitLen), alg.aiAlgid});
                break;
            case ALG_CLASS_SIGNATURE:
                if (provider == Provider::Base) lists.signature.entries.push_back({name, alg.aiAlgid});
                break;
            case ALG_CLASS_KEY_EXCHANGE:
                if (provider == Provider::Base) lists.exchange.entries.push_back({name, alg.aiAlgid});
                break;
            default: break;
        }
    }
}

// One provider's pass; false when the enumeration ended in an error.
bool providerPass(Provider provider, AlgorithmLists& lists, HWND owner) {
    const HCRYPTPROV prov = acquireContainer(provider);
    if (prov == 0) {
        if (provider == Provider::Enhanced) {
            appletMessageBox(owner, kEnhancedMissingText);
            return true;
        }
        appletMessageBox(owner, kDefaultCspErrorText);
        return false;  // the enumeration on no context fails at once
    }
    if (!enumerate(prov, provider, lists)) return false;  // context and container are left
    CryptReleaseContext(prov, 0);
    deleteContainer(provider);
    return true;
}

}  // namespace

void AlgorithmList::select(int index) {
    selection = index >= 0 && static_cast<std::size_t>(index) < entries.size() ? index : -1;
}

std::string AlgorithmList::text() const {
    return selection >= 0 ? entries[static_cast<std::size_t>(selection)].text : std::string();
}

int AlgorithmList::findText(const std::string& wanted) const {
    for (std::size_t i = 0; i < entries.size(); ++i)
        if (equalIgnoringCase(entries[i].text, wanted)) return static_cast<int>(i);
    return -1;
}

int AlgorithmList::findData(DWORD data) const {
    for (std::size_t i = 0; i < entries.size(); ++i)
        if (entries[i].data == data) return static_cast<int>(i);
    return -1;
}

void fillAlgorithmLists(AlgorithmLists& lists, HWND owner) {
    // Emptied first, so that every activation lists each algorithm once.
    lists = AlgorithmLists{};
    RegistryKey profile;
    if (profile.Create(HKEY_CURRENT_USER, layout::kProfileKey) == ERROR_SUCCESS) {
        if (hasValue(profile, layout::kExchangeBlob3)) providerPass(Provider::Enhanced, lists, owner);
        else deleteContainer(Provider::Enhanced);
        if (hasValue(profile, layout::kExchangeBlob1)) {
            if (!providerPass(Provider::Base, lists, owner)) return;
        } else {
            deleteContainer(Provider::Base);
        }
    }
    for (AlgorithmList* list : {&lists.signature, &lists.hash, &lists.exchange, &lists.encrypt}) list->select(0);
}

}  // namespace vlt::applet
