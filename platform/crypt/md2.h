// MD2 (RFC 1319). OpenSSL 3 no longer carries it, and the providers still offer it as CALG_MD2.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vlt::crypt {

class Md2 {
public:
    void update(const unsigned char* data, std::size_t size);
    void finish(unsigned char out[16]);

private:
    void block(const unsigned char* m);

    unsigned char m_state[48] = {};
    unsigned char m_checksum[16] = {};
    unsigned char m_buffer[16] = {};
    std::size_t m_used = 0;
    unsigned char m_last = 0;  // the checksum's running byte
};

}  // namespace vlt::crypt
