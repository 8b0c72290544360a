// Owners for CryptoAPI handles that live for one operation: keys and hashes are destroyed, and
// a container context is released and, where the operation owns the container, deleted.
#pragma once

#include <string>

#include "shared/algorithm_word.h"
#include "win32/wincrypt.h"

namespace vlt {

class CryptKey {
public:
    CryptKey() = default;
    ~CryptKey() { reset(); }
    CryptKey(const CryptKey&) = delete;
    CryptKey& operator=(const CryptKey&) = delete;

    HCRYPTKEY get() const { return m_key; }
    HCRYPTKEY* out() {
        reset();
        return &m_key;
    }
    HCRYPTKEY release() {
        const HCRYPTKEY k = m_key;
        m_key = 0;
        return k;
    }
    // False when the provider refused to destroy the key; it is let go either way.
    bool reset() {
        const bool destroyed = m_key == 0 || CryptDestroyKey(m_key) != FALSE;
        m_key = 0;
        return destroyed;
    }

private:
    HCRYPTKEY m_key = 0;
};

class CryptProvider {
public:
    CryptProvider() = default;
    ~CryptProvider() { reset(); }
    CryptProvider(const CryptProvider&) = delete;
    CryptProvider& operator=(const CryptProvider&) = delete;

    HCRYPTPROV get() const { return m_prov; }
    HCRYPTPROV* out() {
        reset();
        return &m_prov;
    }
    void reset() {
        if (m_prov != 0) CryptReleaseContext(m_prov, 0);
        m_prov = 0;
    }

private:
    HCRYPTPROV m_prov = 0;
};

class CryptHash {
public:
    CryptHash() = default;
    ~CryptHash() { reset(); }
    CryptHash(const CryptHash&) = delete;
    CryptHash& operator=(const CryptHash&) = delete;

    HCRYPTHASH get() const { return m_hash; }
    HCRYPTHASH* out() {
        reset();
        return &m_hash;
    }
    void reset() {
        if (m_hash != 0) CryptDestroyHash(m_hash);
        m_hash = 0;
    }

private:
    HCRYPTHASH m_hash = 0;
};

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

    bool acquire() { return m_acquired = acquireContainer(m_container, m_provider, &m_prov); }
    HCRYPTPROV get() const { return m_prov; }
    void end() {
        if (!m_acquired) return;
        CryptReleaseContext(m_prov, 0);
        m_prov = 0;
        m_acquired = false;
        if (m_atEnd == AtEnd::Delete) deleteContainer(m_container, m_provider);
    }

private:
    std::string m_container;
    Provider m_provider;
    AtEnd m_atEnd;
    HCRYPTPROV m_prov = 0;
    bool m_acquired = false;
};

}  // namespace vlt
