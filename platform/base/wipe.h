// Wiping secrets from memory in a way the optimiser cannot drop.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "base/export.h"
#include "base/secret_memory.h"

VLT_EXPORT_BEGIN

namespace vlt::base {

void secureWipe(void* data, std::size_t size);

// The whole capacity goes, not only the current length: a shortened string keeps its old tail.
inline void secureWipe(std::string& s) {
    s.resize(s.capacity());
    secureWipe(s.data(), s.size());
    s.clear();
}

template <typename T, typename A>
void secureWipe(std::vector<T, A>& v) {
    v.resize(v.capacity());
    secureWipe(v.data(), v.size() * sizeof(T));
    v.clear();
}

// Appends to a string that holds a secret, wiping the old buffer when it has to grow.
inline void appendWiping(std::string& s, char c) {
    if (s.size() == s.capacity()) {
        std::string bigger;
        bigger.reserve(s.capacity() * 2 + 64);
        bigger = s;
        secureWipe(s);
        s.swap(bigger);
    }
    s += c;
}

// Bytes in locked, no-dump memory that is wiped when released (passwords, plain key blobs).
using SecretVector = std::vector<unsigned char, SecretAllocator<unsigned char>>;

class SecretBytes {
public:
    SecretBytes() = default;
    explicit SecretBytes(std::size_t size) : m_bytes(size) {}
    SecretBytes(const void* data, std::size_t size)
        : m_bytes(static_cast<const unsigned char*>(data), static_cast<const unsigned char*>(data) + size) {}
    // Takes a plain vector over and wipes it.
    explicit SecretBytes(std::vector<unsigned char>&& bytes) : m_bytes(bytes.begin(), bytes.end()) { secureWipe(bytes); }
    SecretBytes(const SecretBytes&) = delete;
    SecretBytes& operator=(const SecretBytes&) = delete;
    SecretBytes(SecretBytes&& o) noexcept : m_bytes(std::move(o.m_bytes)) {}
    SecretBytes& operator=(SecretBytes&& o) noexcept {
        if (this != &o) m_bytes = std::move(o.m_bytes);  // the allocator wipes what it frees
        return *this;
    }
    SecretBytes copy() const { return SecretBytes(m_bytes.data(), m_bytes.size()); }

    SecretVector& bytes() { return m_bytes; }
    const SecretVector& bytes() const { return m_bytes; }
    unsigned char* data() { return m_bytes.data(); }
    const unsigned char* data() const { return m_bytes.data(); }
    std::size_t size() const { return m_bytes.size(); }
    bool empty() const { return m_bytes.empty(); }
    std::string_view view() const { return {reinterpret_cast<const char*>(m_bytes.data()), m_bytes.size()}; }

private:
    SecretVector m_bytes;
};

}  // namespace vlt::base

VLT_EXPORT_END
