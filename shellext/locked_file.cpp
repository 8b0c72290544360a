#include "shellext/locked_file.h"

#include <algorithm>
#include <cstring>

#include "registry/nls.h"

namespace vlt::shellext {
namespace {

void putDword(std::vector<BYTE>& out, DWORD v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<BYTE>(v >> (8 * i)));
}

void putString(std::vector<BYTE>& out, const std::string& s) {
    putDword(out, static_cast<DWORD>(s.size()));
    out.insert(out.end(), s.begin(), s.end());
}

DWORD getDword(const BYTE* p) {
    return static_cast<DWORD>(p[0]) | static_cast<DWORD>(p[1]) << 8 | static_cast<DWORD>(p[2]) << 16 |
           static_cast<DWORD>(p[3]) << 24;
}

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
        v = getDword(b);
        return true;
    }
    bool string(std::string& s) {
        DWORD n = 0;
        if (!dword(n) || n > remaining() || n > kMaxField) return false;
        s.resize(n);
        return bytes(s.data(), n);
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
    std::vector<BYTE> out{1, 0};
    putDword(out, 0);  // header length, filled in below
    putString(out, std::string(kLockedFileMagic, kLockedFileMagicLength));
    putString(out, sender);
    putString(out, sourcePath);
    putString(out, sourceName);
    const DWORD total = static_cast<DWORD>(out.size() - 6);
    for (int i = 0; i < 4; ++i) out[2 + i] = static_cast<BYTE>(total >> (8 * i));
    return out;
}

std::vector<BYTE> buildKeyBlock(DWORD algorithmWord, const std::vector<BYTE>& blob) {
    std::vector<BYTE> out;
    putDword(out, algorithmWord);
    putDword(out, static_cast<DWORD>(blob.size()));
    out.insert(out.end(), blob.begin(), blob.end());
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
    DWORD blobLength = 0;
    if (!c.string(h.sender) || !c.string(h.sourcePath) || !c.string(h.sourceName) ||
        !c.dword(head.keyBlock.algorithmWord) || !c.dword(blobLength) || blobLength > c.remaining() || blobLength > kMaxField) {
        head.status = HeadStatus::Damaged;
        return head;
    }
    head.keyBlock.blob.resize(blobLength);
    if (!c.bytes(head.keyBlock.blob.data(), blobLength)) {
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

}  // namespace vlt::shellext
