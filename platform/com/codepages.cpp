#include "com/codepages.h"

#include <map>
#include <memory>
#include <mutex>

#include "base/codepage.h"
#include "registry/nls.h"

namespace vlt::com {
namespace {

// The first code point of a UTF-8 text known to be one character (ansiToUtf8 output).
char32_t firstCodePoint(const std::string& utf8) {
    bool invalid = false;
    const std::u16string u = utf8ToUtf16(utf8, &invalid);
    if (invalid || u.empty()) return 0xFFFD;
    return u[0];
}

bool inRange(char16_t c, char16_t lo, char16_t hi) { return c >= lo && c <= hi; }

}  // namespace

CodePage::CodePage(unsigned number) : m_number(number) {
    for (unsigned b = 0; b < 256; ++b) {
        char16_t c = static_cast<char16_t>(b);
        if (b >= 0x80) {
            const std::string one(1, static_cast<char>(b));
            c = static_cast<char16_t>(firstCodePoint(base::ansiToUtf8(one, number)));
            if (c == 0xFFFD && number == 1252) c = static_cast<char16_t>(b);
        }
        m_toUnicode[b] = c;
        if (c != 0xFFFD) m_fromUnicode.emplace(c, static_cast<unsigned char>(b));
    }
}

int CodePage::fromUnicode(char16_t c) const {
    const auto it = m_fromUnicode.find(c);
    return it == m_fromUnicode.end() ? -1 : it->second;
}

const CodePage* singleByteCodePage(unsigned number) {
    if (number == 0 || number == 3) number = registry::activeCodePage();
    if (!base::isSupportedAnsiCodePage(number)) return nullptr;
    static std::mutex mutex;
    static auto* pages = new std::map<unsigned, std::unique_ptr<CodePage>>;  // lives as long as the process
    std::lock_guard lock(mutex);
    auto& slot = (*pages)[number];
    if (!slot) slot = std::make_unique<CodePage>(number);
    return slot.get();
}

std::u16string utf8ToUtf16(std::string_view s, bool* invalid) {
    std::u16string out;
    out.reserve(s.size());
    bool bad = false;
    std::size_t i = 0;
    while (i < s.size()) {
        const auto b0 = static_cast<unsigned char>(s[i]);
        if (b0 < 0x80) {
            out.push_back(b0);
            ++i;
            continue;
        }
        std::size_t len = 0;
        char32_t cp = 0;
        char32_t min = 0;
        if (b0 >= 0xC2 && b0 <= 0xDF) {
            len = 2;
            cp = b0 & 0x1F;
            min = 0x80;
        } else if (b0 >= 0xE0 && b0 <= 0xEF) {
            len = 3;
            cp = b0 & 0x0F;
            min = 0x800;
        } else if (b0 >= 0xF0 && b0 <= 0xF4) {
            len = 4;
            cp = b0 & 0x07;
            min = 0x10000;
        }
        std::size_t n = 1;
        bool ok = len != 0;
        while (ok && n < len) {
            if (i + n >= s.size()) {
                ok = false;
                break;
            }
            const auto b = static_cast<unsigned char>(s[i + n]);
            if ((b & 0xC0) != 0x80) {
                ok = false;
                break;
            }
            cp = (cp << 6) | (b & 0x3F);
            ++n;
        }
        if (ok && (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))) ok = false;
        if (!ok) {
            // One replacement for the lead byte and the continuation bytes that followed it.
            out.push_back(0xFFFD);
            bad = true;
            i += n;
            continue;
        }
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(cp));
        }
        i += len;
    }
    if (invalid) *invalid = bad;
    return out;
}

std::string utf16ToUtf8(std::u16string_view s, bool* invalid) {
    std::string out;
    out.reserve(s.size());
    bool bad = false;
    for (std::size_t i = 0; i < s.size(); ++i) {
        char32_t cp = s[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (s[i + 1] - 0xDC00);
            ++i;
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            cp = 0xFFFD;
            bad = true;
        }
        if (cp < 0x80) {
            out.push_back(static_cast<char>(cp));
        } else if (cp < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else if (cp < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        }
    }
    if (invalid) *invalid = bad;
    return out;
}

char16_t toUpper(char16_t c) {
    if (inRange(c, u'a', u'z')) return c - 0x20;
    if (c < 0xB5) return c;
    if (c == 0xB5) return 0x039C;
    if (inRange(c, 0xE0, 0xFE) && c != 0xF7) return c - 0x20;
    if (c == 0xFF) return 0x0178;
    if (inRange(c, 0x0100, 0x017F)) {
        if (c == 0x0131) return u'I';
        if (c == 0x017F) return u'S';
        if (c == 0x0130 || c == 0x0138 || c == 0x0149 || c == 0x0178) return c;
        const bool oddUpper = inRange(c, 0x0139, 0x0148) || inRange(c, 0x0179, 0x017E);
        if (oddUpper) return (c % 2 == 0) ? c - 1 : c;
        return (c % 2 == 1) ? c - 1 : c;
    }
    if (c == 0x0192) return 0x0191;
    if (c == 0x01A1 || c == 0x01B0) return c - 1;
    if (c == 0x03AC) return 0x0386;
    if (inRange(c, 0x03AD, 0x03AF)) return c - 0x25;
    if (c == 0x03C2) return 0x03A3;
    if (inRange(c, 0x03B1, 0x03CB)) return c - 0x20;
    if (c == 0x03CC) return 0x038C;
    if (inRange(c, 0x03CD, 0x03CE)) return c - 0x3F;
    if (inRange(c, 0x0430, 0x044F)) return c - 0x20;
    if (inRange(c, 0x0450, 0x045F)) return c - 0x50;
    if (c == 0x0491) return 0x0490;
    return c;
}

char16_t toLower(char16_t c) {
    if (inRange(c, u'A', u'Z')) return c + 0x20;
    if (c < 0xC0) return c;
    if (inRange(c, 0xC0, 0xDE) && c != 0xD7) return c + 0x20;
    if (c == 0x0178) return 0xFF;
    if (inRange(c, 0x0100, 0x017F)) {
        if (c == 0x0130) return u'i';
        if (c == 0x0131 || c == 0x0138 || c == 0x0149 || c == 0x017F) return c;
        const bool oddUpper = inRange(c, 0x0139, 0x0148) || inRange(c, 0x0179, 0x017E);
        if (oddUpper) return (c % 2 == 1) ? c + 1 : c;
        return (c % 2 == 0) ? c + 1 : c;
    }
    if (c == 0x0191) return 0x0192;
    if (c == 0x01A0 || c == 0x01AF) return c + 1;
    if (c == 0x0386) return 0x03AC;
    if (inRange(c, 0x0388, 0x038A)) return c + 0x25;
    if (c == 0x038C) return 0x03CC;
    if (inRange(c, 0x038E, 0x038F)) return c + 0x3F;
    if (inRange(c, 0x0391, 0x03AB) && c != 0x03A2) return c + 0x20;
    if (inRange(c, 0x0410, 0x042F)) return c + 0x20;
    if (inRange(c, 0x0400, 0x040F)) return c + 0x50;
    if (c == 0x0490) return 0x0491;
    return c;
}

}  // namespace vlt::com
