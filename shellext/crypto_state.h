// The CryptoAPI state of one lock, unlock or grant run: provider and container, the file's
// session key, the recipient's or the user's exchange key, and the wrapped session key.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "shared/crypt_handles.h"
#include "win32/wincrypt.h"

namespace vlt::shellext {

class CryptoState {
public:
    // Also clears the process-wide cancel flag: every run starts uncancelled.
    explicit CryptoState(HWND owner);
    // Frees everything and deletes the container acquired in this run.
    ~CryptoState();
    CryptoState(const CryptoState&) = delete;
    CryptoState& operator=(const CryptoState&) = delete;

    void setAlgorithm(const std::string& providerName, ALG_ID algorithm);
    // The work container in the chosen provider, as vlt::acquireWorkContainer acquires it,
    // unless a handle is held already.
    bool acquireWorkContainer();
    bool generateSessionKey(ALG_ID algorithm, DWORD flags);
    bool exportSessionKey();
    const std::vector<BYTE>* keyBlob() const { return m_keyBlob ? &*m_keyBlob : nullptr; }
    HCRYPTKEY sessionKey() const { return m_sessionKey.get(); }
    bool adoptBlob(std::vector<BYTE> blob);
    bool importSessionKey(DWORD flags);
    bool destroySessionKey() { return m_sessionKey.reset(); }
    bool destroyExchangeKey() { return m_exchangeKey.reset(); }
    void freeBlob() { m_keyBlob.reset(); }
    void releaseAndDeleteContainer();

    // Takes ownership of an exchange key loaded from outside (own or recipient public key,
    // or the user's private key), replacing one still held.
    void setExchangeKey(HCRYPTKEY key) { *m_exchangeKey.out() = key; }

    ALG_ID algorithm() const { return m_algorithm; }
    const std::string& providerName() const { return m_providerName; }
    bool enhanced() const;
    Provider chosenProvider() const { return enhanced() ? Provider::Enhanced : Provider::Base; }
    HWND owner() const { return m_owner; }
    HCRYPTPROV provider() const { return m_provider.get(); }
    bool hasProvider() const { return m_provider.get() != 0; }
    bool hasSessionKey() const { return m_sessionKey.get() != 0; }
    // The provider the held handle was acquired in (may differ from chosenProvider() after a
    // new algorithm was set).
    std::optional<Provider> heldProvider() const { return m_heldProvider; }

private:
    void releaseKeysAndProvider();
    void deleteContainer() const;

    ALG_ID m_algorithm = 0;
    std::string m_providerName;
    HWND m_owner = nullptr;
    std::optional<std::vector<BYTE>> m_keyBlob;
    std::optional<Provider> m_heldProvider;  // kept after the release, for deleteContainer()
    bool m_containerAcquired = false;
    CryptProvider m_provider;
    CryptKey m_sessionKey;
    CryptKey m_exchangeKey;
};

}  // namespace vlt::shellext
