#include "shared/locked_file.h"

#include <algorithm>
#include <cstring>

#include "registry/nls.h"

namespace vlt {
namespace {

// No header string or key blob is anywhere near this long; a larger length means damage,
// and must not make the reader allocate it.
constexpr DWORD kMaxField = 1u << 16;

// Sequential reads that never go past fileSize.
class Cursor {
public:
    Cursor(ByteSource& source, std::uint64_t size) : m_source(source), m_size(size) {}
    std::uint64_t remaining() const { return m_size - m_offset; }
    std::uint64_t offset() const { return m_offset; }

    bool bytes(void* out, std::size_t n) {
        if (n > remaining()) return false;
        if (m_source.read(out, n) != static_cast<long>(n)) return false;
        m_offset += n;
        return true;
    }
    bool dword(DWORD& v) {
        BYTE b[4];
        if (!bytes(b, 4)) return false;
        v = loadLE<DWORD>(b);
        return true;
    }
    // A 32-bit length and that many bytes, into a string or byte vector.
    template <typename Container>
    bool block(Container& out) {
        DWORD n = 0;
        if (!dword(n) || n > remaining() || n > kMaxField) return false;
        out.resize(n);
        return bytes(out.data(), n);
    }

private:
    ByteSource& m_source;
    std::uint64_t m_size;
    std::uint64_t m_offset = 0;
};

bool validUtf8(const std::string& s) {
    for (std::size_t i = 0; i < s.size();) {
        const auto c = static_cast<unsigned char>(s[i]);
        std::size_t n;
        if (c < 0x80) n = 0;
        else if ((c & 0xE0) == 0xC0) n = 1;
        else if ((c & 0xF0) == 0xE0) n = 2;
        else if ((c & 0xF8) == 0xF0) n = 3;
        else return false;
        if (i + n >= s.size() && n > 0) return false;
        for (std::size_t k = 1; k <= n; ++k)
            if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
        i += n + 1;
    }
    return true;
}

}  // namespace

long MemorySource::read(void* out, std::size_t size) {
    const std::size_t n = std::min(size, m_size - m_offset);
    if (n) std::memcpy(out, m_data + m_offset, n);
    m_offset += n;
    return static_cast<long>(n);
}

std::vector<BYTE> buildHeader(const std::string& sender, const std::string& sourcePath, const std::string& sourceName) {
    Bytes out{1, 0};
    appendU32(out, 0);  // header length, filled in below
    appendBlock(out, asBytes(std::string(kLockedFileMagic, kLockedFileMagicLength)));
    for (const auto* s : {&sender, &sourcePath, &sourceName}) appendBlock(out, asBytes(*s));
    storeLE<DWORD>(out.data() + 2, static_cast<DWORD>(out.size() - 6));
    return out;
}

std::vector<BYTE> buildKeyBlock(DWORD algorithmWord, const std::vector<BYTE>& blob) {
    Bytes out;
    out.reserve(8 + blob.size());
    appendU32(out, algorithmWord);
    appendBlock(out, blob);
    return out;
}

LockedFileHead readLockedFileHead(ByteSource& source, std::uint64_t fileSize) {
    LockedFileHead head;
    Cursor c(source, fileSize);
    auto& h = head.header;
    DWORD magicLength = 0;
    char magic[kLockedFileMagicLength];
    if (!c.bytes(&h.format1, 1) || !c.bytes(&h.format2, 1) || !c.dword(h.headerLength) || !c.dword(magicLength) ||
        !c.bytes(magic, sizeof magic)) {
        head.status = HeadStatus::NotLocked;
        return head;
    }
    // The magic length field is not trusted: the magic is always 14 bytes.
    h.magic.assign(magic, sizeof magic);
    if (std::memcmp(magic, kLockedFileMagic, sizeof magic) != 0) {
        head.status = HeadStatus::NotLocked;
        return head;
    }
    if (!c.block(h.sender) || !c.block(h.sourcePath) || !c.block(h.sourceName) ||
        !c.dword(head.keyBlock.algorithmWord) || !c.block(head.keyBlock.blob)) {
        head.status = HeadStatus::Damaged;
        return head;
    }
    head.ciphertextOffset = c.offset();
    head.ciphertextLength = c.remaining();
    // CBC with padding always leaves at least one whole 8-byte block.
    const bool whole = head.ciphertextLength >= 8 && head.ciphertextLength % 8 == 0;
    head.status = whole ? HeadStatus::Ok : HeadStatus::Damaged;
    return head;
}

std::string nameToHeader(const std::string& native) {
    auto ansi = registry::toAnsi(native);
    return ansi ? *ansi : native;
}

std::string nameFromHeader(const std::string& stored) {
    return validUtf8(stored) ? stored : registry::fromAnsi(stored);
}

bool isPlainFileName(const std::string& name) {
    return !name.empty() && name != "." && name != ".." && name.size() <= 255 &&
           name.find('/') == std::string::npos && name.find('\0') == std::string::npos;
}

}  // namespace vlt
