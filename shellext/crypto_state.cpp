#include "shellext/crypto_state.h"

#include "shellext/process_state.h"
#include "shellext/progress.h"

namespace vlt::shellext {

CryptoState::CryptoState(HWND owner) : m_owner(owner) { g_cancel.store(0); }

CryptoState::~CryptoState() {
    freeBlob();
    destroySessionKey();
    destroyExchangeKey();
    if (has(kProviderHeld)) {
        CryptReleaseContext(m_provider, 0);
        m_flags &= ~static_cast<DWORD>(kProviderHeld);
    }
    if (m_containerAcquired) {
        HCRYPTPROV gone = 0;
        CryptAcquireContextA(&gone, m_containerName.c_str(), m_heldProviderName.c_str(), PROV_RSA_FULL,
                             CRYPT_DELETEKEYSET);
    }
    if (Progress* p = g_progress.load()) p->close();
}

void CryptoState::setAlgorithm(const std::string& providerName, ALG_ID algorithm) {
    m_providerName = providerName;
    m_algorithm = algorithm;
}

bool CryptoState::enhanced() const { return m_providerName == MS_ENHANCED_PROV_A; }

bool CryptoState::acquire(const std::string& containerName, const std::string& providerName) {
    m_containerName = containerName;
    const char* c = containerName.c_str();
    const char* p = providerName.c_str();
    HCRYPTPROV h = 0;
    bool ok = CryptAcquireContextA(&h, c, p, PROV_RSA_FULL, 0) ||
              CryptAcquireContextA(&h, c, p, PROV_RSA_FULL, CRYPT_NEWKEYSET);
    if (!ok) {
        HCRYPTPROV gone = 0;
        CryptAcquireContextA(&gone, c, p, PROV_RSA_FULL, CRYPT_DELETEKEYSET);
        ok = CryptAcquireContextA(&h, c, p, PROV_RSA_FULL, CRYPT_NEWKEYSET);
    }
    if (!ok) return false;
    m_provider = h;
    m_heldProviderName = providerName;
    m_containerAcquired = true;
    m_flags |= kProviderHeld;
    return true;
}

bool CryptoState::generateSessionKey(ALG_ID algorithm, DWORD flags) {
    if (!has(kProviderHeld)) return false;
    if (!CryptGenKey(m_provider, algorithm, flags, &m_sessionKey)) return false;
    m_flags |= kSessionKeyHeld;
    return true;
}

bool CryptoState::exportSessionKey() {
    if (!has(kSessionKeyHeld | kExchangeKeyHeld)) return false;
    freeBlob();
    DWORD size = 0;
    if (!CryptExportKey(m_sessionKey, m_exchangeKey, SIMPLEBLOB, 0, nullptr, &size)) return false;
    std::vector<BYTE> blob(size);
    if (!CryptExportKey(m_sessionKey, m_exchangeKey, SIMPLEBLOB, 0, blob.data(), &size)) return false;
    blob.resize(size);
    m_keyBlob = std::move(blob);
    m_flags |= kKeyBlobHeld;
    return true;
}

const std::vector<BYTE>* CryptoState::keyBlob() const { return has(kKeyBlobHeld) ? &m_keyBlob : nullptr; }

bool CryptoState::adoptBlob(std::vector<BYTE> blob) {
    if (has(kKeyBlobHeld)) return false;
    m_keyBlob = std::move(blob);
    m_flags |= kKeyBlobHeld;
    return true;
}

bool CryptoState::importSessionKey(DWORD flags) {
    if (!has(kProviderHeld | kExchangeKeyHeld | kKeyBlobHeld) || has(kSessionKeyHeld)) return false;
    // No wrapping key is passed: the provider unwraps with the container's exchange pair.
    if (!CryptImportKey(m_provider, m_keyBlob.data(), static_cast<DWORD>(m_keyBlob.size()), 0, flags,
                        &m_sessionKey))
        return false;
    m_flags |= kSessionKeyHeld;
    return true;
}

bool CryptoState::destroySessionKey() {
    if (!has(kSessionKeyHeld)) return true;
    m_flags &= ~static_cast<DWORD>(kSessionKeyHeld);
    return CryptDestroyKey(m_sessionKey) != FALSE;
}

bool CryptoState::destroyExchangeKey() {
    if (!has(kExchangeKeyHeld)) return true;
    m_flags &= ~static_cast<DWORD>(kExchangeKeyHeld);
    return CryptDestroyKey(m_exchangeKey) != FALSE;
}

void CryptoState::freeBlob() {
    m_keyBlob.clear();
    m_flags &= ~static_cast<DWORD>(kKeyBlobHeld);
}

void CryptoState::releaseAndDeleteContainer() {
    destroySessionKey();
    destroyExchangeKey();
    if (has(kProviderHeld)) {
        CryptReleaseContext(m_provider, 0);
        m_flags &= ~static_cast<DWORD>(kProviderHeld);
    }
    HCRYPTPROV gone = 0;
    CryptAcquireContextA(&gone, m_containerName.c_str(), m_heldProviderName.c_str(), PROV_RSA_FULL,
                         CRYPT_DELETEKEYSET);
    m_containerAcquired = false;
}

void CryptoState::setExchangeKey(HCRYPTKEY key) {
    destroyExchangeKey();
    m_exchangeKey = key;
    m_flags |= kExchangeKeyHeld;
}

}  // namespace vlt::shellext
