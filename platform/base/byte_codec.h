// Little-endian integers and length-prefixed byte runs, the one way every file, registry value,
// key blob and window-message frame of the suite lays out its fields. The reader never goes
// past the end of its input: a read that does not fit fails and moves nothing.
#pragma once

#include <concepts>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "base/export.h"

VLT_EXPORT_BEGIN

namespace vlt {

using Bytes = std::vector<std::uint8_t>;
using ByteView = std::span<const std::uint8_t>;

template <typename B>
concept ByteLike = sizeof(B) == 1 && std::integral<B>;

// `p` holds at least sizeof(T) bytes.
template <std::unsigned_integral T, ByteLike B>
T loadLE(const B* p) {
    T v = 0;
    for (std::size_t i = 0; i < sizeof(T); ++i) v |= static_cast<T>(static_cast<T>(static_cast<std::uint8_t>(p[i])) << (8 * i));
    return v;
}

template <std::unsigned_integral T, ByteLike B>
void storeLE(B* p, T v) {
    for (std::size_t i = 0; i < sizeof(T); ++i) p[i] = static_cast<B>(static_cast<std::uint8_t>(v >> (8 * i)));
}

class ByteReader {
public:
    explicit ByteReader(ByteView data) : m_data(data) {}

    std::size_t remaining() const { return m_data.size() - m_pos; }
    std::size_t position() const { return m_pos; }
    bool atEnd() const { return remaining() == 0; }

    bool u32(std::uint32_t& out) {
        ByteView b;
        if (!bytes(4, b)) return false;
        out = loadLE<std::uint32_t>(b.data());
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
        std::uint32_t length = 0;
        if (!u32(length) || !bytes(length, out)) {
            m_pos = start;
            return false;
        }
        return true;
    }

    // The same, copied into a byte vector or string.
    template <typename Container>
    bool block(Container& out) {
        ByteView run;
        if (!block(run)) return false;
        out.assign(run.begin(), run.end());
        return true;
    }

    bool skip(std::size_t count) {
        ByteView ignored;
        return bytes(count, ignored);
    }

private:
    ByteView m_data;
    std::size_t m_pos = 0;
};

inline void appendU32(Bytes& out, std::uint32_t value) {
    out.resize(out.size() + 4);
    storeLE(out.data() + out.size() - 4, value);
}

inline void appendBytes(Bytes& out, ByteView bytes) { out.insert(out.end(), bytes.begin(), bytes.end()); }

inline void appendBlock(Bytes& out, ByteView bytes) {
    appendU32(out, static_cast<std::uint32_t>(bytes.size()));
    appendBytes(out, bytes);
}

inline ByteView asBytes(const std::string& s) { return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()}; }

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

VLT_EXPORT_END
