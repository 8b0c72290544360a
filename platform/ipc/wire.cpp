#include "ipc/wire.h"

#include <cinttypes>
#include <cstdio>

#include "base/byte_codec.h"

namespace vlt::ipc::wire {
namespace {

constexpr std::uint32_t kRequestMagic = 0x4d574c56;  // "VLWM"
constexpr std::uint32_t kReplyMagic = 0x524c4c56;    // "VLLR"
constexpr std::uint16_t kVersion = 1;
constexpr std::string_view kEntryHeader = "vlt-window 1\n";
constexpr std::size_t kMaxText = 4096;

// "<key> <decimal>\n" at pos.
bool readNumber(std::string_view text, std::size_t& pos, std::string_view key, std::uint64_t* value) {
    if (text.substr(pos, key.size()) != key || pos + key.size() >= text.size() || text[pos + key.size()] != ' ')
        return false;
    pos += key.size() + 1;
    std::uint64_t v = 0;
    std::size_t digits = 0;
    while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9' && digits < 20) {
        const std::uint64_t d = static_cast<std::uint64_t>(text[pos] - '0');
        if (v > (UINT64_MAX - d) / 10) return false;
        v = v * 10 + d;
        ++pos;
        ++digits;
    }
    // One way to write each number, so that an entry reads back to the same bytes.
    if (digits == 0 || (digits > 1 && text[pos - digits] == '0')) return false;
    if (pos >= text.size() || text[pos] != '\n') return false;
    ++pos;
    *value = v;
    return true;
}

// "<key> <length>:<bytes>\n" at pos.
bool readText(std::string_view text, std::size_t& pos, std::string_view key, std::string* value) {
    if (text.substr(pos, key.size()) != key || pos + key.size() >= text.size() || text[pos + key.size()] != ' ')
        return false;
    pos += key.size() + 1;
    std::uint64_t length = 0;
    std::size_t digits = 0;
    while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9' && digits < 5) {
        length = length * 10 + static_cast<std::uint64_t>(text[pos] - '0');
        ++pos;
        ++digits;
    }
    if (digits == 0 || (digits > 1 && text[pos - digits] == '0')) return false;
    if (length > kMaxText || pos >= text.size() || text[pos] != ':') return false;
    ++pos;
    if (text.size() - pos < length + 1 || text[pos + length] != '\n') return false;
    value->assign(text.substr(pos, length));
    pos += length + 1;
    return true;
}

}  // namespace

std::string formatEntry(const Entry& e) {
    std::string out(kEntryHeader);
    out += "pid " + std::to_string(e.pid) + "\n";
    out += "instance " + std::to_string(e.instance) + "\n";
    out += "hwnd " + std::to_string(e.hwnd) + "\n";
    out += "created " + std::to_string(e.created) + "\n";
    out += "class " + std::to_string(e.className.size()) + ":" + e.className + "\n";
    out += "title " + std::to_string(e.title.size()) + ":" + e.title + "\n";
    return out;
}

std::optional<Entry> parseEntry(std::string_view text) {
    if (text.substr(0, kEntryHeader.size()) != kEntryHeader) return std::nullopt;
    std::size_t pos = kEntryHeader.size();
    Entry e;
    std::uint64_t pid = 0;
    if (!readNumber(text, pos, "pid", &pid) || pid == 0 || pid > 0x7FFFFFFF) return std::nullopt;
    e.pid = static_cast<pid_t>(pid);
    if (!readNumber(text, pos, "instance", &e.instance) || !readNumber(text, pos, "hwnd", &e.hwnd) ||
        !readNumber(text, pos, "created", &e.created) || !readText(text, pos, "class", &e.className) ||
        !readText(text, pos, "title", &e.title) || pos != text.size())
        return std::nullopt;
    return e;
}

std::string socketName(pid_t pid, std::uint64_t instance) {
    char name[64];
    std::snprintf(name, sizeof name, "%d-%016" PRIx64 ".sock", static_cast<int>(pid), instance);
    return name;
}

std::string entryName(pid_t pid, std::uint64_t instance, std::uint64_t hwnd) {
    char name[96];
    std::snprintf(name, sizeof name, "%d-%016" PRIx64 "-%" PRIx64 ".win", static_cast<int>(pid), instance, hwnd);
    return name;
}

pid_t pidOfName(std::string_view name) {
    std::uint64_t v = 0;
    std::size_t i = 0;
    while (i < name.size() && name[i] >= '0' && name[i] <= '9' && i < 10)
        v = v * 10 + static_cast<std::uint64_t>(name[i++] - '0');
    if (i == 0 || i >= name.size() || name[i] != '-' || v == 0 || v > 0x7FFFFFFF) return 0;
    return static_cast<pid_t>(v);
}

std::array<unsigned char, kRequestSize> encode(const Request& r) {
    std::array<unsigned char, kRequestSize> b{};
    storeLE<std::uint32_t>(&b[0], kRequestMagic);
    storeLE<std::uint16_t>(&b[4], kVersion);
    storeLE<std::uint16_t>(&b[6], static_cast<std::uint16_t>(r.kind));
    storeLE<std::uint64_t>(&b[8], r.instance);
    storeLE<std::uint64_t>(&b[16], r.hwnd);
    storeLE<std::uint32_t>(&b[24], r.msg);
    storeLE<std::uint64_t>(&b[32], r.wParam);
    storeLE<std::uint64_t>(&b[40], r.lParam);
    return b;
}

std::array<unsigned char, kReplySize> encode(const Reply& r) {
    std::array<unsigned char, kReplySize> b{};
    storeLE<std::uint32_t>(&b[0], kReplyMagic);
    storeLE<std::uint32_t>(&b[4], static_cast<std::uint32_t>(r.status));
    storeLE<std::uint64_t>(&b[8], r.result);
    return b;
}

std::optional<Request> decodeRequest(const unsigned char* b) {
    if (loadLE<std::uint32_t>(&b[0]) != kRequestMagic || loadLE<std::uint16_t>(&b[4]) != kVersion) return std::nullopt;
    Request r;
    const auto kind = loadLE<std::uint16_t>(&b[6]);
    if (kind != static_cast<std::uint16_t>(Kind::Send) && kind != static_cast<std::uint16_t>(Kind::Post))
        return std::nullopt;
    r.kind = static_cast<Kind>(kind);
    r.instance = loadLE<std::uint64_t>(&b[8]);
    r.hwnd = loadLE<std::uint64_t>(&b[16]);
    r.msg = loadLE<std::uint32_t>(&b[24]);
    r.wParam = loadLE<std::uint64_t>(&b[32]);
    r.lParam = loadLE<std::uint64_t>(&b[40]);
    return r;
}

std::optional<Reply> decodeReply(const unsigned char* b) {
    if (loadLE<std::uint32_t>(&b[0]) != kReplyMagic) return std::nullopt;
    const auto status = loadLE<std::uint32_t>(&b[4]);
    if (status > static_cast<std::uint32_t>(Status::Refused)) return std::nullopt;
    Reply r;
    r.status = static_cast<Status>(status);
    r.result = loadLE<std::uint64_t>(&b[8]);
    return r;
}

}  // namespace vlt::ipc::wire
