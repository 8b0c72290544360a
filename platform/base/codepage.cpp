#include "base/codepage.h"

#include <iconv.h>

#include <array>
#include <cerrno>
#include <cstdio>

namespace vlt::base {
namespace {

// The Windows single-byte ANSI code pages, all of which glibc's iconv knows as CPnnnn.
constexpr std::array<unsigned, 10> kAnsiPages{874, 1250, 1251, 1252, 1253, 1254, 1255, 1256, 1257, 1258};

std::string iconvName(unsigned codePage) {
    char name[16];
    std::snprintf(name, sizeof name, "CP%u", codePage);
    return name;
}

class Iconv {
public:
    Iconv(const std::string& to, const std::string& from) : m_cd(iconv_open(to.c_str(), from.c_str())) {}
    ~Iconv() {
        if (valid()) iconv_close(m_cd);
    }
    Iconv(const Iconv&) = delete;
    Iconv& operator=(const Iconv&) = delete;
    bool valid() const { return m_cd != reinterpret_cast<iconv_t>(-1); }
    iconv_t get() const { return m_cd; }

private:
    iconv_t m_cd;
};

}  // namespace

bool isSupportedAnsiCodePage(unsigned codePage) {
    for (unsigned p : kAnsiPages)
        if (p == codePage) return true;
    return false;
}

Result<std::string> utf8ToAnsi(std::string_view utf8, unsigned codePage) {
    if (!isSupportedAnsiCodePage(codePage)) return fail("unsupported code page " + std::to_string(codePage));
    bool ascii = true;
    for (char c : utf8) ascii = ascii && static_cast<unsigned char>(c) < 0x80;
    if (ascii) return std::string(utf8);

    Iconv cd(iconvName(codePage), "UTF-8");
    if (!cd.valid()) return fail("code page " + std::to_string(codePage) + " is not available");
    std::string out(utf8.size(), '\0');  // one byte per character at most
    char* in = const_cast<char*>(utf8.data());
    size_t inLeft = utf8.size();
    char* outp = out.data();
    size_t outLeft = out.size();
    if (iconv(cd.get(), &in, &inLeft, &outp, &outLeft) == static_cast<size_t>(-1)) {
        const size_t at = utf8.size() - inLeft;
        if (errno == EILSEQ) {
            // Name the offending character so the user knows what to change.
            size_t len = 1;
            const auto lead = static_cast<unsigned char>(utf8[at]);
            if (lead >= 0xF0) len = 4;
            else if (lead >= 0xE0) len = 3;
            else if (lead >= 0xC0) len = 2;
            return fail("the character \"" + std::string(utf8.substr(at, len)) +
                            "\" cannot be written in the Windows code page " + std::to_string(codePage),
                        1113u);
        }
        return fail("the text is not valid UTF-8", 1113u);
    }
    out.resize(out.size() - outLeft);
    return out;
}

std::string ansiToUtf8(std::string_view ansi, unsigned codePage) {
    bool ascii = true;
    for (char c : ansi) ascii = ascii && static_cast<unsigned char>(c) < 0x80;
    if (ascii) return std::string(ansi);
    if (!isSupportedAnsiCodePage(codePage)) codePage = kDefaultAnsiCodePage;

    Iconv cd("UTF-8", iconvName(codePage));
    std::string out;
    if (!cd.valid()) return out;
    for (char c : ansi) {
        char inb[1] = {c};
        char outb[8];
        char* in = inb;
        size_t inLeft = 1;
        char* outp = outb;
        size_t outLeft = sizeof outb;
        if (iconv(cd.get(), &in, &inLeft, &outp, &outLeft) == static_cast<size_t>(-1))
            out += "\xEF\xBF\xBD";
        else
            out.append(outb, sizeof outb - outLeft);
    }
    return out;
}

}  // namespace vlt::base
