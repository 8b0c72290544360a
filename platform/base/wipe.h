// Wiping secrets from memory in a way the optimiser cannot drop.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace vlt::base {

void secureWipe(void* data, std::size_t size);

inline void secureWipe(std::string& s) {
    secureWipe(s.data(), s.size());
    s.clear();
}

template <typename T>
void secureWipe(std::vector<T>& v) {
    secureWipe(v.data(), v.size() * sizeof(T));
    v.clear();
}

// A byte buffer that wipes itself when destroyed (passwords, plain key blobs).
class SecretBytes {
public:
    SecretBytes() = default;
    explicit SecretBytes(std::vector<unsigned char> bytes) : m_bytes(std::move(bytes)) {}
    SecretBytes(const SecretBytes&) = delete;
    SecretBytes& operator=(const SecretBytes&) = delete;
    SecretBytes(SecretBytes&& o) noexcept : m_bytes(std::move(o.m_bytes)) {}
    SecretBytes& operator=(SecretBytes&& o) noexcept {
        if (this != &o) {
            secureWipe(m_bytes);
            m_bytes = std::move(o.m_bytes);
        }
        return *this;
    }
    ~SecretBytes() { secureWipe(m_bytes); }

    std::vector<unsigned char>& bytes() { return m_bytes; }
    const std::vector<unsigned char>& bytes() const { return m_bytes; }

private:
    std::vector<unsigned char> m_bytes;
};

}  // namespace vlt::base
