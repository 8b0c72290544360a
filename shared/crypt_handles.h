// Owners for CryptoAPI handles that live for one operation: keys and hashes are destroyed, and
// a container context is released and, where the operation owns the container, deleted.
#pragma once

#include <string>
#include <utility>

#include "shared/algorithm_word.h"
#include "win32/wincrypt.h"

namespace vlt {

// One CryptoAPI handle, freed by Free when reset or destroyed.
template <class Handle, auto Free>
class CryptHandle {
public:
    CryptHandle() = default;
    ~CryptHandle() { reset(); }
    CryptHandle(const CryptHandle&) = delete;
    CryptHandle& operator=(const CryptHandle&) = delete;

    Handle get() const { return m_handle; }
    Handle* out() {
        reset();
        return &m_handle;
    }
    Handle release() { return std::exchange(m_handle, 0); }
    // False when the provider refused to free the handle; it is let go either way.
    bool reset() { return m_handle == 0 || Free(release()) != FALSE; }

private:
    Handle m_handle = 0;
};

using CryptKey = CryptHandle<HCRYPTKEY, CryptDestroyKey>;
using CryptHash = CryptHandle<HCRYPTHASH, CryptDestroyHash>;
inline BOOL releaseContext(HCRYPTPROV provider) { return CryptReleaseContext(provider, 0); }
using CryptProvider = CryptHandle<HCRYPTPROV, releaseContext>;

// Acquires a named container with flags 0, else CRYPT_NEWKEYSET.
bool acquireContainer(const std::string& container, Provider provider, HCRYPTPROV* prov);
// CRYPT_DELETEKEYSET in the given provider; false when there was nothing to delete.
bool deleteContainer(const std::string& container, Provider provider);

// A container acquired for one operation. release() (or destruction) releases the context and,
// when asked to, deletes the container in the same provider.
class ContainerSession {
public:
    enum class AtEnd { Keep, Delete };

    ContainerSession(std::string container, Provider provider, AtEnd atEnd)
        : m_container(std::move(container)), m_provider(provider), m_atEnd(atEnd) {}
    ~ContainerSession() { end(); }
    ContainerSession(const ContainerSession&) = delete;
    ContainerSession& operator=(const ContainerSession&) = delete;

    bool acquire() {
        if (acquireContainer(m_container, m_provider, m_prov.out())) return true;
        m_prov.release();  // nothing was acquired, so nothing is released
        return false;
    }
    HCRYPTPROV get() const { return m_prov.get(); }
    void end() {
        if (m_prov.get() == 0) return;
        m_prov.reset();
        if (m_atEnd == AtEnd::Delete) deleteContainer(m_container, m_provider);
    }

private:
    std::string m_container;
    Provider m_provider;
    AtEnd m_atEnd;
    CryptProvider m_prov;
};

}  // namespace vlt
