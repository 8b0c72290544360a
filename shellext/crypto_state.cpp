#include "shellext/crypto_state.h"

#include "shared/container_names.h"
#include "shared/profile_keys.h"
#include "shellext/process_state.h"

namespace vlt::shellext {

CryptoState::CryptoState(HWND owner) : m_owner(owner) { g_cancel.store(0); }

CryptoState::~CryptoState() {
    freeBlob();
    releaseKeysAndProvider();
    if (m_containerAcquired) deleteContainer();
}

void CryptoState::setAlgorithm(const std::string& providerName, ALG_ID algorithm) {
    m_providerName = providerName;
    m_algorithm = algorithm;
}

bool CryptoState::enhanced() const { return m_providerName == MS_ENHANCED_PROV_A; }

bool CryptoState::acquireWorkContainer() {
    if (hasProvider()) return true;
    HCRYPTPROV h = 0;
    if (!vlt::acquireWorkContainer(chosenProvider(), &h)) return false;
    *m_provider.out() = h;
    m_heldProvider = chosenProvider();
    m_containerAcquired = true;
    return true;
}

bool CryptoState::generateSessionKey(ALG_ID algorithm, DWORD flags) {
    return hasProvider() && CryptGenKey(m_provider.get(), algorithm, flags, m_sessionKey.out());
}

bool CryptoState::exportSessionKey() {
    if (!hasSessionKey() || m_exchangeKey.get() == 0) return false;
    freeBlob();
    DWORD size = 0;
    if (!CryptExportKey(m_sessionKey.get(), m_exchangeKey.get(), SIMPLEBLOB, 0, nullptr, &size)) return false;
    std::vector<BYTE> blob(size);
    if (!CryptExportKey(m_sessionKey.get(), m_exchangeKey.get(), SIMPLEBLOB, 0, blob.data(), &size)) return false;
    blob.resize(size);
    m_keyBlob = std::move(blob);
    return true;
}

bool CryptoState::adoptBlob(std::vector<BYTE> blob) {
    if (m_keyBlob) return false;
    m_keyBlob = std::move(blob);
    return true;
}

bool CryptoState::importSessionKey(DWORD flags) {
    if (!hasProvider() || m_exchangeKey.get() == 0 || !m_keyBlob || hasSessionKey()) return false;
    // No wrapping key is passed: the provider unwraps with the container's exchange pair.
    return CryptImportKey(m_provider.get(), m_keyBlob->data(), static_cast<DWORD>(m_keyBlob->size()), 0, flags,
                          m_sessionKey.out()) != FALSE;
}

void CryptoState::releaseKeysAndProvider() {
    destroySessionKey();
    destroyExchangeKey();
    m_provider.reset();
}

void CryptoState::deleteContainer() const {
    if (m_heldProvider) vlt::deleteContainer(kWorkContainerName, *m_heldProvider);
}

void CryptoState::releaseAndDeleteContainer() {
    releaseKeysAndProvider();
    deleteContainer();
    m_containerAcquired = false;
}

}  // namespace vlt::shellext
