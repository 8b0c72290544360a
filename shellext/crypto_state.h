// The CryptoAPI state of one lock, unlock or grant run: provider and container, the file's
// session key, the recipient's or the user's exchange key, and the wrapped session key.
#pragma once

#include <string>
#include <vector>

#include "win32/wincrypt.h"

namespace vlt::shellext {

class CryptoState {
public:
    enum Flag : DWORD {
        kProviderHeld = 0x1,
        kSessionKeyHeld = 0x2,
        kExchangeKeyHeld = 0x4,
        kKeyBlobHeld = 0x10,
    };

    // Also clears the process-wide cancel flag: every run starts uncancelled.
    explicit CryptoState(HWND owner);
    // Frees everything, deletes the container acquired in this run and closes the progress view.
    ~CryptoState();
    CryptoState(const CryptoState&) = delete;
    CryptoState& operator=(const CryptoState&) = delete;

    void setAlgorithm(const std::string& providerName, ALG_ID algorithm);
    // Opens the container, else creates it, else deletes and creates it once more.
    bool acquire(const std::string& containerName, const std::string& providerName);
    bool generateSessionKey(ALG_ID algorithm, DWORD flags);
    bool exportSessionKey();
    const std::vector<BYTE>* keyBlob() const;
    HCRYPTKEY sessionKey() const { return has(kSessionKeyHeld) ? m_sessionKey : 0; }
    bool adoptBlob(std::vector<BYTE> blob);
    bool importSessionKey(DWORD flags);
    bool destroySessionKey();
    bool destroyExchangeKey();
    void freeBlob();
    void releaseAndDeleteContainer();

    // Takes ownership of an exchange key loaded from outside (own or recipient public key,
    // or the user's private key), replacing one still held.
    void setExchangeKey(HCRYPTKEY key);

    ALG_ID algorithm() const { return m_algorithm; }
    const std::string& providerName() const { return m_providerName; }
    bool enhanced() const;
    HWND owner() const { return m_owner; }
    HCRYPTPROV provider() const { return has(kProviderHeld) ? m_provider : 0; }
    // The provider the held handle was acquired in (may differ from providerName() after a
    // new algorithm was set).
    const std::string& heldProviderName() const { return m_heldProviderName; }
    DWORD flags() const { return m_flags; }
    bool has(DWORD bits) const { return (m_flags & bits) == bits; }

private:
    ALG_ID m_algorithm = 0;
    std::string m_providerName;
    HWND m_owner = nullptr;
    DWORD m_flags = 0;
    std::vector<BYTE> m_keyBlob;
    std::string m_containerName;
    std::string m_heldProviderName;
    bool m_containerAcquired = false;
    HCRYPTPROV m_provider = 0;
    HCRYPTKEY m_sessionKey = 0;
    HCRYPTKEY m_exchangeKey = 0;
};

}  // namespace vlt::shellext
