// CharUpperA, lstrcmpA and lstrcmpiA by the rules of the ANSI code page, through Unicode.
#include <cstdint>
#include <string_view>
#include <vector>

#include "com/codepages.h"
#include "win32/winstr.h"

namespace {

using vlt::com::CodePage;

unsigned char upperByte(const CodePage& page, unsigned char b) {
    if (b < 0x80) return (b >= 'a' && b <= 'z') ? static_cast<unsigned char>(b - 0x20) : b;
    const char16_t u = page.toUnicode(b);
    const char16_t upper = vlt::com::toUpper(u);
    if (upper == u) return b;
    const int back = page.fromUnicode(upper);
    return back < 0 ? b : static_cast<unsigned char>(back);  // no capital in this code page
}

bool inRange(char16_t c, char16_t lo, char16_t hi) { return c >= lo && c <= hi; }

// The unaccented letter of a Latin letter (lower case), or 0 for anything else.
char16_t latinBase(char16_t c) {
    using namespace std::string_view_literals;
    static constexpr std::string_view kLatin1 =  // U+00C0 to U+00FF; '\0' where not a letter
        "aaaaaaaceeeeiiiidnooooo\0ouuuuy\0saaaaaaaceeeeiiiidnooooo\0ouuuuy\0y"sv;
    static constexpr std::string_view kExtendedA =  // U+0100 to U+017F
        "aaaaaaccccccccddddeeeeeeeeeegggggggghhhhiiiiiiiiiiiijjkkklllllllllln"
        "nnnnnnnnoooooooorrrrrrssssssssttttttuuuuuuuuuuuuwwyyyzzzzzzs"sv;
    static_assert(kLatin1.size() == 64 && kExtendedA.size() == 128);
    if (inRange(c, u'a', u'z')) return c;
    if (inRange(c, u'A', u'Z')) return c + 0x20;
    if (c == 0x00DE || c == 0x00FE) return u'z' + 1;  // thorn sorts after z
    if (inRange(c, 0x00C0, 0x00FF)) return static_cast<unsigned char>(kLatin1[c - 0x00C0]);
    if (inRange(c, 0x0100, 0x017F)) return static_cast<unsigned char>(kExtendedA[c - 0x0100]);
    if (c == 0x0192) return u'f';
    if (c == 0x00AA) return u'a';
    if (c == 0x00BA) return u'o';
    return 0;
}

bool isOtherLetter(char16_t c) { return inRange(c, 0x0370, 0x03FF) || inRange(c, 0x0400, 0x04FF); }

// Hyphens and apostrophes sort as if absent (word sort); the soft hyphen likewise.
bool isIgnorable(char16_t c) { return c == u'-' || c == u'\'' || c == 0x00AD; }

struct Weights {
    std::vector<std::uint32_t> primary;
    std::vector<std::uint32_t> secondary;
    std::vector<std::uint32_t> tertiary;
    std::vector<std::uint32_t> ignorable;  // position and character
};

Weights weigh(const CodePage& page, std::string_view s, bool ignoreCase) {
    Weights w;
    for (std::size_t i = 0; i < s.size(); ++i) {
        const char16_t c = page.toUnicode(static_cast<unsigned char>(s[i]));
        if (isIgnorable(c)) {
            w.ignorable.push_back(static_cast<std::uint32_t>(i << 16 | c));
            continue;
        }
        const char16_t lower = vlt::com::toLower(c);
        std::uint32_t primary = 0;
        std::uint32_t secondary = 0;
        if (const char16_t base = latinBase(c)) {
            primary = 0x3000 + base;
            secondary = lower == base ? 0 : lower;
        } else if (isOtherLetter(c)) {
            primary = 0x4000 + vlt::com::toUpper(c);
        } else if (inRange(c, u'0', u'9')) {
            primary = 0x2000 + c;
        } else if (c == 0x00B9 || c == 0x00B2 || c == 0x00B3) {  // superscript digits
            primary = 0x2000 + (c == 0x00B9 ? u'1' : c == 0x00B2 ? u'2' : u'3');
            secondary = c;
        } else {
            primary = 0x0100 + c;  // blanks, punctuation and symbols before digits
        }
        w.primary.push_back(primary);
        w.secondary.push_back(secondary);
        w.tertiary.push_back(ignoreCase || lower == c ? 0 : 1);  // lower case first
    }
    return w;
}

template <typename T>
int compareSequences(const std::vector<T>& a, const std::vector<T>& b) {
    const std::size_t n = a.size() < b.size() ? a.size() : b.size();
    for (std::size_t i = 0; i < n; ++i)
        if (a[i] != b[i]) return a[i] < b[i] ? -1 : 1;
    if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
    return 0;
}

int compare(LPCSTR a, LPCSTR b, bool ignoreCase) {
    if (!a || !b) return a == b ? 0 : (a ? 1 : -1);
    const CodePage* page = vlt::com::singleByteCodePage(0);
    if (!page) page = vlt::com::singleByteCodePage(1252);
    const std::string_view sa(a);
    const std::string_view sb(b);
    const Weights wa = weigh(*page, sa, ignoreCase);
    const Weights wb = weigh(*page, sb, ignoreCase);
    if (int r = compareSequences(wa.primary, wb.primary)) return r;
    if (int r = compareSequences(wa.secondary, wb.secondary)) return r;
    if (int r = compareSequences(wa.tertiary, wb.tertiary)) return r;
    if (wa.ignorable.size() != wb.ignorable.size()) return wa.ignorable.size() < wb.ignorable.size() ? -1 : 1;
    if (int r = compareSequences(wa.ignorable, wb.ignorable)) return r;
    // Still equal: only bytes without weight of their own differ. Equal strings alone give 0.
    std::vector<unsigned char> ba;
    std::vector<unsigned char> bb;
    for (char c : sa) ba.push_back(ignoreCase ? upperByte(*page, static_cast<unsigned char>(c)) : c);
    for (char c : sb) bb.push_back(ignoreCase ? upperByte(*page, static_cast<unsigned char>(c)) : c);
    return compareSequences(ba, bb);
}

}  // namespace

LPSTR CharUpperA(LPSTR lpsz) {
    const CodePage* page = vlt::com::singleByteCodePage(0);
    if (!page) page = vlt::com::singleByteCodePage(1252);
    const auto value = reinterpret_cast<std::uintptr_t>(lpsz);
    if ((value >> 16) == 0) {
        // One character in the low byte, returned the same way.
        return reinterpret_cast<LPSTR>(std::uintptr_t{upperByte(*page, static_cast<unsigned char>(value & 0xFF))});
    }
    for (char* p = lpsz; *p; ++p) *p = static_cast<char>(upperByte(*page, static_cast<unsigned char>(*p)));
    return lpsz;
}

int lstrcmpA(LPCSTR lpString1, LPCSTR lpString2) { return compare(lpString1, lpString2, false); }
int lstrcmpiA(LPCSTR lpString1, LPCSTR lpString2) { return compare(lpString1, lpString2, true); }
