// Reading and writing the flat little-endian layouts of the profile values and files: 32-bit
// integers and length-prefixed byte runs. The reader never goes past the end of its input.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "win32/windef.h"

namespace vlt {

using Bytes = std::vector<BYTE>;
using ByteView = std::span<const BYTE>;

class ByteReader {
public:
    explicit ByteReader(ByteView data) : m_data(data) {}

    std::size_t remaining() const { return m_data.size() - m_pos; }
    std::size_t position() const { return m_pos; }
    bool atEnd() const { return remaining() == 0; }

    bool u32(DWORD& out) {
        if (remaining() < 4) return false;
        const BYTE* p = m_data.data() + m_pos;
        out = static_cast<DWORD>(p[0]) | static_cast<DWORD>(p[1]) << 8 | static_cast<DWORD>(p[2]) << 16 |
              static_cast<DWORD>(p[3]) << 24;
        m_pos += 4;
        return true;
    }

    bool bytes(std::size_t count, ByteView& out) {
        if (count > remaining()) return false;
        out = m_data.subspan(m_pos, count);
        m_pos += count;
        return true;
    }

    // A 32-bit length followed by that many bytes.
    bool block(ByteView& out) {
        const std::size_t start = m_pos;
        DWORD length = 0;
        if (!u32(length) || !bytes(length, out)) {
            m_pos = start;
            return false;
        }
        return true;
    }

    bool skip(std::size_t count) {
        if (count > remaining()) return false;
        m_pos += count;
        return true;
    }

private:
    ByteView m_data;
    std::size_t m_pos = 0;
};

inline void appendU32(Bytes& out, DWORD value) {
    out.push_back(static_cast<BYTE>(value));
    out.push_back(static_cast<BYTE>(value >> 8));
    out.push_back(static_cast<BYTE>(value >> 16));
    out.push_back(static_cast<BYTE>(value >> 24));
}

inline void appendBytes(Bytes& out, ByteView bytes) { out.insert(out.end(), bytes.begin(), bytes.end()); }

inline void appendBlock(Bytes& out, ByteView bytes) {
    appendU32(out, static_cast<DWORD>(bytes.size()));
    appendBytes(out, bytes);
}

inline ByteView asBytes(const std::string& s) {
    return {reinterpret_cast<const BYTE*>(s.data()), s.size()};
}

inline std::string asString(ByteView bytes) { return {bytes.begin(), bytes.end()}; }

// A stored name or text as the original's fixed C buffers see it: at most bufferSize - 1
// bytes, ending early at a zero byte.
inline std::string cText(ByteView bytes, std::size_t bufferSize) {
    std::size_t n = 0;
    const std::size_t limit = bufferSize == 0 ? 0 : bufferSize - 1;
    while (n < bytes.size() && n < limit && bytes[n] != 0) ++n;
    return {bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(n)};
}

}  // namespace vlt
