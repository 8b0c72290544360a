#include "shellext/session_unlock.h"

#include "shared/certificate_record.h"
#include "shared/certificate_store.h"
#include "shared/profile_keys.h"
#include "shared/registry_key.h"
#include "shared/registry_layout.h"
#include "shared/tray_messages.h"
#include "shellext/messages.h"
#include "shellext/process_state.h"

namespace vlt::shellext {
bool loadRecipientPublicKey(CryptoState& state, const std::string& recipient, DWORD storeFlag) {
    if (!state.acquireWorkContainer()) return false;
    auto data = readStoreEntry(storeOfFlag(storeFlag), recipient);
    if (!data) return false;
    auto entry = parseCertificateStoreEntry(*data);
    if (!entry) return false;
    const auto& record = state.enhanced() ? entry->enhancedRecord : entry->baseRecord;
    if (record.empty()) return false;
    auto blob = certificateKeyBlob(record);
    if (!blob) return false;
    HCRYPTKEY key = 0;
    if (!CryptImportKey(state.provider(), blob->data(), static_cast<DWORD>(blob->size()), 0, 0, &key))
        return false;
    state.setExchangeKey(key);
    return true;
}

bool loadKey(CryptoState& state, const std::string& recipient, KeyUse use, DWORD storeFlag) {
    if (!recipient.empty()) {
        // A grant: the person's public key; an unlock never names a recipient.
        return use == KeyUse::Lock && loadRecipientPublicKey(state, recipient, storeFlag);
    }
    if (!profileExists()) {
        MessageBoxA(state.owner(), msg::kNoProfile, msg::kStatusCaption, msg::kStyleWarning);
        return false;
    }

    if (!state.acquireWorkContainer()) {
        const UINT style = use == KeyUse::Lock ? msg::kStyleWarningSystemModal : msg::kStyleWarning;
        MessageBoxA(state.owner(), msg::kWrongPassword, msg::kStatusCaption, style);
        return false;
    }
    HCRYPTKEY key = 0;
    if (use == KeyUse::Lock) {
        if (!loadOwnPublicKey(state.provider(), state.chosenProvider(), &key)) {
            MessageBoxA(state.owner(), msg::kWrongPassword, msg::kStatusCaption, msg::kStyleWarningSystemModal);
            return false;
        }
        state.setExchangeKey(key);
        return true;
    }
    if (!loadPrivateKey(state.provider(), state.chosenProvider(), currentPassword().view(), &key)) {
        MessageBoxA(state.owner(), msg::kWrongPassword, msg::kStatusCaption, msg::kStyleWarning);
        return false;
    }
    // The tray restarts its countdown, or locks again at once when automatic locking is off.
    if (HWND tray = FindWindowA(nullptr, kTrayWindowTitle)) SendMessageA(tray, kTrayUnlockedMessage, 0, 0);
    state.setExchangeKey(key);
    return true;
}

}  // namespace vlt::shellext
