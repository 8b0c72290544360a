#include "shellext/algorithm.h"

#include "base/byte_codec.h"
#include "shared/certificate_store.h"
#include "shared/registry_key.h"
#include "shared/registry_layout.h"

namespace vlt::shellext {

void applyAlgorithmWord(CryptoState& state, DWORD word) {
    if (word & kEnhancedBit)
        state.setAlgorithm(MS_ENHANCED_PROV_A, word & 0xFFFF);
    else
        state.setAlgorithm(MS_DEF_PROV_A, word);
}

bool chooseAlgorithm(CryptoState& state, const std::string& recipient, DWORD storeFlag) {
    DWORD word = 0;
    if (recipient.empty()) {
        RegistryKey settings;
        settings.Create(HKEY_CURRENT_USER, layout::kSettingsKey);
        if (settings.QueryDword(word, layout::kEncrypt) != ERROR_SUCCESS) return false;
    } else {
        auto entry = readStoreEntry(storeOfFlag(storeFlag), recipient);
        if (!entry || entry->size() < 4) return false;
        word = loadLE<DWORD>(entry->data());
    }
    applyAlgorithmWord(state, word);
    return true;
}

void selectProvider(const LockedFileHead& head, CryptoState& state) {
    applyAlgorithmWord(state, head.keyBlock.algorithmWord);
}

}  // namespace vlt::shellext
