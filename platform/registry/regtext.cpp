#include "registry/regtext.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <set>

#include "base/byte_codec.h"
#include "base/codepage.h"
#include "registry/hives.h"
#include "registry/nls.h"

namespace vlt::registry {
namespace {

constexpr std::string_view kHeader4 = "REGEDIT4";
constexpr std::string_view kHeader5 = "Windows Registry Editor Version 5.00";

// ---------------------------------------------------------------------------------------------
// UTF-8 and UTF-16LE, strict: no surrogates in UTF-8, no unpaired ones in UTF-16.

// Decodes one UTF-8 sequence at s[i]; false when malformed.
bool decodeUtf8(std::string_view s, size_t& i, char32_t& cp) {
    const auto b0 = static_cast<unsigned char>(s[i]);
    int len;
    char32_t min;
    if (b0 < 0x80) {
        cp = b0;
        ++i;
        return true;
    } else if ((b0 & 0xE0) == 0xC0) {
        len = 2, cp = b0 & 0x1F, min = 0x80;
    } else if ((b0 & 0xF0) == 0xE0) {
        len = 3, cp = b0 & 0x0F, min = 0x800;
    } else if ((b0 & 0xF8) == 0xF0) {
        len = 4, cp = b0 & 0x07, min = 0x10000;
    } else {
        return false;
    }
    if (i + static_cast<size_t>(len) > s.size()) return false;
    for (int k = 1; k < len; ++k) {
        const auto b = static_cast<unsigned char>(s[i + static_cast<size_t>(k)]);
        if ((b & 0xC0) != 0x80) return false;
        cp = (cp << 6) | (b & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    i += static_cast<size_t>(len);
    return true;
}

void appendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// Offset of the first malformed byte, or npos.
size_t invalidUtf8At(std::string_view s) {
    size_t i = 0;
    char32_t cp;
    while (i < s.size())
        if (!decodeUtf8(s, i, cp)) return i;
    return std::string_view::npos;
}

// UTF-16LE bytes to UTF-8; on failure errorAt is the byte offset of the bad unit.
bool utf16leToUtf8(std::string_view in, std::string& out, size_t& errorAt) {
    out.clear();
    if (in.size() % 2) {
        errorAt = in.size() - 1;
        return false;
    }
    auto unit = [&](size_t i) { return static_cast<char16_t>(loadLE<std::uint16_t>(in.data() + i)); };
    for (size_t i = 0; i < in.size(); i += 2) {
        const char16_t u = unit(i);
        if (u >= 0xD800 && u <= 0xDBFF) {
            if (i + 3 >= in.size()) {
                errorAt = i;
                return false;
            }
            const char16_t lo = unit(i + 2);
            if (lo < 0xDC00 || lo > 0xDFFF) {
                errorAt = i;
                return false;
            }
            appendUtf8(out, 0x10000 + ((static_cast<char32_t>(u) - 0xD800) << 10) + (lo - 0xDC00));
            i += 2;
        } else if (u >= 0xDC00 && u <= 0xDFFF) {
            errorAt = i;
            return false;
        } else {
            appendUtf8(out, u);
        }
    }
    return true;
}

// UTF-8 (already validated) to UTF-16LE.
std::string utf8ToUtf16le(std::string_view s) {
    std::string out;
    out.reserve(s.size() * 2);
    auto put = [&](char16_t u) {
        out += static_cast<char>(u & 0xFF);
        out += static_cast<char>(u >> 8);
    };
    size_t i = 0;
    char32_t cp;
    while (i < s.size()) {
        if (!decodeUtf8(s, i, cp)) {
            cp = 0xFFFD;
            ++i;
        }
        if (cp >= 0x10000) {
            cp -= 0x10000;
            put(static_cast<char16_t>(0xD800 + (cp >> 10)));
            put(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            put(static_cast<char16_t>(cp));
        }
    }
    return out;
}

// ---------------------------------------------------------------------------------------------
// Small text helpers

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\r'; }

std::string_view trimLeft(std::string_view s) {
    while (!s.empty() && isSpace(s.front())) s.remove_prefix(1);
    return s;
}

std::string_view trimRight(std::string_view s) {
    while (!s.empty() && isSpace(s.back())) s.remove_suffix(1);
    return s;
}

std::string_view trim(std::string_view s) { return trimRight(trimLeft(s)); }

bool equalsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 32);
        if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 32);
        if (x != y) return false;
    }
    return true;
}

bool startsWithNoCase(std::string_view s, std::string_view prefix) {
    return s.size() >= prefix.size() && equalsNoCase(s.substr(0, prefix.size()), prefix);
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

Error lineError(unsigned line, const std::string& what, std::uint32_t code = ERROR_INVALID_DATA) {
    return fail("line " + std::to_string(line) + ": " + what, code);
}

const char* rootName(HKEY root) {
    if (root == HKEY_CURRENT_USER) return "HKEY_CURRENT_USER";
    if (root == HKEY_LOCAL_MACHINE) return "HKEY_LOCAL_MACHINE";
    if (root == HKEY_CLASSES_ROOT) return "HKEY_CLASSES_ROOT";
    return nullptr;
}

bool parseRoot(std::string_view name, HKEY& root) {
    if (equalsNoCase(name, "HKEY_CURRENT_USER") || equalsNoCase(name, "HKCU")) root = HKEY_CURRENT_USER;
    else if (equalsNoCase(name, "HKEY_LOCAL_MACHINE") || equalsNoCase(name, "HKLM")) root = HKEY_LOCAL_MACHINE;
    else if (equalsNoCase(name, "HKEY_CLASSES_ROOT") || equalsNoCase(name, "HKCR")) root = HKEY_CLASSES_ROOT;
    else return false;
    return true;
}

bool isStringType(DWORD type) { return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ; }

// ---------------------------------------------------------------------------------------------
// Parser

struct Line {
    std::string_view text;
    unsigned number;
};

class Parser {
public:
    Parser(unsigned codePage) : m_codePage(codePage) {}  // NOLINT

    Result<std::vector<RegTextEntry>> run(std::string_view bytes);

private:
    Result<void> decode(std::string_view bytes);
    Result<std::string> text(std::string_view s, unsigned line) const;
    Result<void> section(std::string_view s, unsigned line);
    Result<void> value(std::string_view s, size_t& index);
    Result<std::string> quoted(std::string_view& s, unsigned line) const;
    Result<void> hexData(std::string_view first, size_t& index, RegTextValue& v);
    static Result<void> endOfEntry(std::string_view rest, unsigned line);

    unsigned m_codePage;
    std::string m_text;  // the file as UTF-8 (Unicode files) or as it came (ANSI)
    bool m_unicode = false;
    bool m_version5 = false;
    std::vector<Line> m_lines;
    std::vector<RegTextEntry> m_entries;
};

Result<void> Parser::decode(std::string_view bytes) {
    if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF && static_cast<unsigned char>(bytes[1]) == 0xFE) {
        size_t at = 0;
        const std::string_view body = bytes.substr(2);
        if (!utf16leToUtf8(body, m_text, at)) {
            // Name the line: count the line feeds before the bad unit.
            unsigned line = 1;
            for (size_t i = 0; i + 1 < at; i += 2)
                if (body[i] == '\n' && body[i + 1] == '\0') ++line;
            return lineError(line, "the text is not valid UTF-16", ERROR_NO_UNICODE_TRANSLATION);
        }
        m_unicode = true;
    } else if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFE &&
               static_cast<unsigned char>(bytes[1]) == 0xFF) {
        return fail("line 1: UTF-16 big-endian files are not supported", ERROR_NOT_SUPPORTED);
    } else if (bytes.size() >= 3 && bytes.substr(0, 3) == "\xEF\xBB\xBF") {
        m_text.assign(bytes.substr(3));
        m_unicode = true;
    } else {
        m_text.assign(bytes);
    }

    std::string_view all(m_text);
    unsigned number = 1;
    while (true) {
        const auto nl = all.find('\n');
        std::string_view line = all.substr(0, nl);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.find('\0') != std::string_view::npos) return lineError(number, "unexpected NUL character");
        m_lines.push_back({line, number});
        if (nl == std::string_view::npos) break;
        all.remove_prefix(nl + 1);
        ++number;
    }
    return {};
}

Result<std::string> Parser::text(std::string_view s, unsigned line) const {
    if (!m_unicode) return std::string(s);
    auto ansi = base::utf8ToAnsi(s, m_codePage);
    if (!ansi) return lineError(line, ansi.error().message, ERROR_NO_UNICODE_TRANSLATION);
    return ansi;
}

Result<void> Parser::endOfEntry(std::string_view rest, unsigned line) {
    rest = trimLeft(rest);
    if (!rest.empty() && rest.front() != ';') return lineError(line, "unexpected text after the value");
    return {};
}

Result<std::string> Parser::quoted(std::string_view& s, unsigned line) const {
    // s starts after the opening quote; on return it starts after the closing one.
    std::string raw;
    size_t i = 0;
    for (;; ++i) {
        if (i >= s.size()) return lineError(line, "missing closing quote");
        const char c = s[i];
        if (c == '"') break;
        if (c == '\\') {
            if (i + 1 >= s.size()) return lineError(line, "missing closing quote");
            const char e = s[++i];
            if (e != '\\' && e != '"') return lineError(line, std::string("unknown escape \\") + e);
            raw += e;
        } else {
            raw += c;
        }
    }
    s.remove_prefix(i + 1);
    return text(raw, line);
}

Result<void> Parser::section(std::string_view s, unsigned line) {
    const auto close = s.rfind(']');
    if (close == std::string_view::npos) return lineError(line, "missing ] after the key name");
    if (!trim(s.substr(close + 1)).empty()) return lineError(line, "unexpected text after the key name");
    std::string_view inner = s.substr(1, close - 1);
    RegTextEntry e;
    e.line = line;
    if (!inner.empty() && inner.front() == '-') {
        e.removeKey = true;
        inner.remove_prefix(1);
    }
    const auto slash = inner.find('\\');
    if (!parseRoot(inner.substr(0, slash), e.root))
        return lineError(line, "unknown root key \"" + std::string(inner.substr(0, slash)) + "\"", ERROR_BADKEY);
    if (slash != std::string_view::npos) {
        const std::string_view path = inner.substr(slash + 1);
        if (path.empty() || path.front() == '\\' || path.back() == '\\' || path.find("\\\\") != std::string_view::npos)
            return lineError(line, "malformed key path", ERROR_BAD_PATHNAME);
        auto converted = text(path, line);
        if (!converted) return converted.error();
        e.path = std::move(*converted);
    }
    m_entries.push_back(std::move(e));
    return {};
}

Result<void> Parser::hexData(std::string_view first, size_t& index, RegTextValue& v) {
    const unsigned line = v.line;
    std::string joined;
    std::string_view piece = first;
    while (true) {
        piece = piece.substr(0, piece.find(';'));
        piece = trimRight(piece);
        if (piece.empty() || piece.back() != '\\') {
            joined += piece;
            break;
        }
        piece.remove_suffix(1);
        joined += piece;
        // A continuation into nothing is a truncated file, not an empty remainder.
        if (++index >= m_lines.size() || trim(m_lines[index].text).empty())
            return lineError(line, "the value continues past its end");
        piece = trimLeft(m_lines[index].text);
    }
    std::string data;
    std::string_view rest(joined);
    while (!trim(rest).empty()) {
        const auto comma = rest.find(',');
        const std::string_view token = trim(rest.substr(0, comma));
        if (token.empty() || token.size() > 2) return lineError(line, "malformed hex data");
        int byte = 0;
        for (char c : token) {
            const int d = hexDigit(c);
            if (d < 0) return lineError(line, "malformed hex data");
            byte = byte * 16 + d;
        }
        data += static_cast<char>(byte);
        if (comma == std::string_view::npos) break;
        rest.remove_prefix(comma + 1);  // a trailing comma is tolerated
    }

    if (m_version5 && isStringType(v.type)) {
        std::string utf8;
        size_t at = 0;
        if (!utf16leToUtf8(data, utf8, at))
            return lineError(line, "the string data is not valid UTF-16", ERROR_NO_UNICODE_TRANSLATION);
        auto ansi = base::utf8ToAnsi(utf8, m_codePage);
        if (!ansi) return lineError(line, ansi.error().message, ERROR_NO_UNICODE_TRANSLATION);
        data = std::move(*ansi);
    }
    v.data = std::move(data);
    return {};
}

Result<void> Parser::value(std::string_view s, size_t& index) {
    const unsigned line = m_lines[index].number;
    if (m_entries.empty()) return lineError(line, "a value before the first key");
    RegTextEntry& entry = m_entries.back();
    if (entry.removeKey) return lineError(line, "a value under a key that is being deleted");

    RegTextValue v;
    v.line = line;
    if (s.front() == '@') {
        s.remove_prefix(1);
    } else {
        s.remove_prefix(1);
        auto name = quoted(s, line);
        if (!name) return name.error();
        v.name = std::move(*name);
    }
    s = trimLeft(s);
    if (s.empty() || s.front() != '=') return lineError(line, "missing = after the value name");
    s = trimLeft(s.substr(1));

    if (!s.empty() && s.front() == '-') {
        v.remove = true;
        if (auto r = endOfEntry(s.substr(1), line); !r) return r;
    } else if (!s.empty() && s.front() == '"') {
        s.remove_prefix(1);
        auto str = quoted(s, line);
        if (!str) return str.error();
        if (auto r = endOfEntry(s, line); !r) return r;
        v.type = REG_SZ;
        v.data = std::move(*str);
        v.data += '\0';
    } else if (startsWithNoCase(s, "dword:")) {
        s.remove_prefix(6);
        size_t n = 0;
        std::uint32_t dw = 0;
        while (n < s.size() && hexDigit(s[n]) >= 0) dw = dw * 16 + static_cast<std::uint32_t>(hexDigit(s[n++]));
        if (n == 0 || n > 8) return lineError(line, "a dword needs one to eight hex digits");
        if (auto r = endOfEntry(s.substr(n), line); !r) return r;
        v.type = REG_DWORD;
        for (int k = 0; k < 4; ++k) v.data += static_cast<char>((dw >> (8 * k)) & 0xFF);
    } else if (startsWithNoCase(s, "hex:")) {
        v.type = REG_BINARY;
        if (auto r = hexData(s.substr(4), index, v); !r) return r;
    } else if (startsWithNoCase(s, "hex(")) {
        s.remove_prefix(4);
        size_t n = 0;
        std::uint32_t type = 0;
        while (n < s.size() && hexDigit(s[n]) >= 0) type = type * 16 + static_cast<std::uint32_t>(hexDigit(s[n++]));
        if (n == 0 || n > 8 || s.substr(n, 2) != "):") return lineError(line, "malformed hex(type):");
        v.type = type;
        if (auto r = hexData(s.substr(n + 2), index, v); !r) return r;
    } else {
        return lineError(line, "unrecognised value data");
    }
    entry.values.push_back(std::move(v));
    return {};
}

Result<std::vector<RegTextEntry>> Parser::run(std::string_view bytes) {
    if (auto r = decode(bytes); !r) return r.error();
    size_t i = 0;
    while (i < m_lines.size() && trim(m_lines[i].text).empty()) ++i;
    if (i == m_lines.size()) return fail("line 1: the file is empty", ERROR_INVALID_DATA);
    const std::string_view header = trim(m_lines[i].text);
    if (header == kHeader5) m_version5 = true;
    else if (header != kHeader4) return lineError(m_lines[i].number, "not a registry file (no REGEDIT4 or version 5 header)");
    // A version 5 file is Unicode even when it came without a byte-order mark.
    if (m_version5) m_unicode = true;
    if (m_unicode) {
        for (const auto& l : m_lines)
            if (invalidUtf8At(l.text) != std::string_view::npos)
                return lineError(l.number, "the text is not valid UTF-8", ERROR_NO_UNICODE_TRANSLATION);
    }

    for (++i; i < m_lines.size(); ++i) {
        const std::string_view s = trim(m_lines[i].text);
        const unsigned line = m_lines[i].number;
        if (s.empty() || s.front() == ';') continue;
        if (s.front() == '[') {
            if (auto r = section(s, line); !r) return r.error();
        } else if (s.front() == '"' || s.front() == '@') {
            if (auto r = value(s, i); !r) return r.error();
        } else {
            return lineError(line, "unrecognised line");
        }
    }
    return std::move(m_entries);
}

// ---------------------------------------------------------------------------------------------
// Formatter

class Formatter {
public:
    Formatter(RegTextFormat format, unsigned codePage)
        : m_codePage(codePage), m_unicode(format != RegTextFormat::Regedit4), m_format(format) {}

    Result<std::string> run(const std::vector<RegTextEntry>& entries);

private:
    // ANSI bytes as they go into the file: unchanged, or as UTF-8 when that is reversible.
    bool textOut(std::string_view ansi, std::string& out) const;
    Result<std::string> name(std::string_view ansi, const std::string& where) const;
    Result<void> value(const RegTextValue& v, const std::string& where);
    void hex(const std::string& prefix, std::string_view bytes);

    unsigned m_codePage;
    bool m_unicode;
    RegTextFormat m_format;
    std::string m_out;  // lines end in '\n' here; CRLF and UTF-16 come at the end
};

bool Formatter::textOut(std::string_view ansi, std::string& out) const {
    if (!m_unicode) {
        out.assign(ansi);
        return true;
    }
    out = base::ansiToUtf8(ansi, m_codePage);
    auto back = base::utf8ToAnsi(out, m_codePage);
    return back && *back == ansi;
}

Result<std::string> Formatter::name(std::string_view ansi, const std::string& where) const {
    if (ansi.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos)
        return fail(where + " holds a line break and cannot be written to a .reg file", ERROR_INVALID_DATA);
    std::string out;
    if (!textOut(ansi, out))
        return fail(where + " holds a byte that code page " + std::to_string(m_codePage) +
                        " does not define and cannot be written as Unicode",
                    ERROR_NO_UNICODE_TRANSLATION);
    return out;
}

std::string escape(std::string_view s) {
    std::string out;
    for (char c : s) {
        if (c == '\\' || c == '"') out += '\\';
        out += c;
    }
    return out;
}

void Formatter::hex(const std::string& prefix, std::string_view bytes) {
    // As regedit: lines of at most 80 columns, continuations indented by two spaces.
    static const char* digits = "0123456789abcdef";
    size_t column = prefix.size();
    m_out += prefix;
    for (size_t i = 0; i < bytes.size(); ++i) {
        const bool last = i + 1 == bytes.size();
        const size_t width = last ? 2 : 3;
        if (column + width > 77) {
            m_out += "\\\n  ";
            column = 2;
        }
        const auto b = static_cast<unsigned char>(bytes[i]);
        m_out += digits[b >> 4];
        m_out += digits[b & 15];
        if (!last) m_out += ',';
        column += width;
    }
    m_out += '\n';
}

Result<void> Formatter::value(const RegTextValue& v, const std::string& where) {
    std::string prefix;
    if (v.name.empty()) {
        prefix = "@=";
    } else {
        auto n = name(v.name, "the value name in " + where);
        if (!n) return n.error();
        prefix = "\"" + escape(*n) + "\"=";
    }
    if (v.remove) {
        m_out += prefix + "-\n";
        return {};
    }
    const std::string_view data(v.data);
    if (v.type == REG_SZ && !data.empty() && data.back() == '\0') {
        const std::string_view body = data.substr(0, data.size() - 1);
        std::string out;
        if (body.find_first_of(std::string_view("\r\n\0", 3)) == std::string_view::npos && textOut(body, out)) {
            m_out += prefix + "\"" + escape(out) + "\"\n";
            return {};
        }
    }
    if (v.type == REG_DWORD && data.size() == 4) {
        const auto dw = loadLE<std::uint32_t>(data.data());
        char buf[16];
        std::snprintf(buf, sizeof buf, "dword:%08x", dw);
        m_out += prefix + buf + "\n";
        return {};
    }
    char type[24];
    if (v.type == REG_BINARY) std::snprintf(type, sizeof type, "hex:");
    else std::snprintf(type, sizeof type, "hex(%x):", static_cast<unsigned>(v.type));
    if (m_format != RegTextFormat::Regedit4 && isStringType(v.type)) {
        // Version 5 files carry string data as UTF-16LE.
        std::string utf8;
        if (!textOut(data, utf8))
            return fail("the data of a string value in " + where + " holds a byte that code page " +
                            std::to_string(m_codePage) + " does not define and cannot be written as Unicode",
                        ERROR_NO_UNICODE_TRANSLATION);
        hex(prefix + type, utf8ToUtf16le(utf8));
        return {};
    }
    hex(prefix + type, data);
    return {};
}

Result<std::string> Formatter::run(const std::vector<RegTextEntry>& entries) {
    m_out = std::string(m_format == RegTextFormat::Regedit4 ? kHeader4 : kHeader5) + "\n\n";
    for (const auto& e : entries) {
        const char* root = rootName(e.root);
        if (!root) return fail("an entry names a root key that .reg files do not know", ERROR_BADKEY);
        std::string header = std::string(e.removeKey ? "[-" : "[") + root;
        const std::string where = header.substr(e.removeKey ? 2 : 1) + (e.path.empty() ? "" : "\\" + e.path);
        if (!e.path.empty()) {
            auto p = name(e.path, "the key " + where);
            if (!p) return p.error();
            header += "\\" + *p;
        }
        m_out += header + "]\n";
        if (!e.removeKey)
            for (const auto& v : e.values)
                if (auto r = value(v, where); !r) return r.error();
        m_out += "\n";
    }

    if (m_format == RegTextFormat::Version5Utf8) return std::move(m_out);
    std::string crlf;
    crlf.reserve(m_out.size() + m_out.size() / 16);
    for (char c : m_out) {
        if (c == '\n') crlf += '\r';
        crlf += c;
    }
    if (m_format == RegTextFormat::Regedit4) return crlf;
    return "\xFF\xFE" + utf8ToUtf16le(crlf);
}

// ---------------------------------------------------------------------------------------------
// The hives

std::string keyName(HKEY root, const std::string& path) {
    const char* r = rootName(root);
    return std::string("[") + (r ? r : "?") + (path.empty() ? "" : "\\" + path) + "]";
}

unsigned depthOf(HKEY root, std::string_view path) {
    const unsigned below = root == HKEY_CLASSES_ROOT ? 2 : 0;  // Software\Classes
    if (path.empty()) return below;
    return below + 1 + static_cast<unsigned>(std::count(path.begin(), path.end(), '\\'));
}

Error tooDeep(HKEY root, const std::string& path) {
    const std::string shown = path.size() > 200 ? path.substr(0, 200) + "..." : path;
    return fail("the key " + keyName(root, shown) + " lies more than " + std::to_string(kMaxKeyDepth) +
                    " levels below its root",
                ERROR_FILENAME_EXCED_RANGE);
}

// Reads one key into entries and walks its subkeys; refuses a tree deeper than keys may be.
Result<void> readKey(HKEY root, HKEY key, const std::string& path, std::vector<RegTextEntry>& entries) {
    if (depthOf(root, path) > kMaxKeyDepth) return tooDeep(root, path);
    RegTextEntry e;
    e.root = root;
    e.path = path;
    for (DWORD i = 0;; ++i) {
        DWORD maxName = 0, maxData = 0;
        if (LONG rc = RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &maxName,
                                       &maxData, nullptr, nullptr))
            return fail("cannot read " + keyName(root, path), static_cast<std::uint32_t>(rc));
        std::string name(maxName + 1, '\0');
        std::string data(maxData + 1, '\0');
        DWORD nameSize = maxName + 1;
        DWORD dataSize = maxData + 1;
        RegTextValue v;
        const LONG rc = RegEnumValueA(key, i, name.data(), &nameSize, nullptr, &v.type,
                                      reinterpret_cast<BYTE*>(data.data()), &dataSize);
        if (rc == ERROR_NO_MORE_ITEMS) break;
        if (rc == ERROR_MORE_DATA) {  // grew since the sizes were taken
            --i;
            continue;
        }
        if (rc != ERROR_SUCCESS) return fail("cannot read " + keyName(root, path), static_cast<std::uint32_t>(rc));
        v.name.assign(name.data(), nameSize);
        v.data.assign(data.data(), dataSize);
        e.values.push_back(std::move(v));
    }
    entries.push_back(std::move(e));
    for (DWORD i = 0;; ++i) {
        char name[256];
        DWORD size = sizeof name;
        LONG rc = RegEnumKeyExA(key, i, name, &size, nullptr, nullptr, nullptr, nullptr);
        if (rc == ERROR_NO_MORE_ITEMS) break;
        if (rc != ERROR_SUCCESS) return fail("cannot read " + keyName(root, path), static_cast<std::uint32_t>(rc));
        HKEY child = nullptr;
        const std::string childPath = path.empty() ? std::string(name) : path + "\\" + name;
        rc = RegOpenKeyExA(key, name, 0, KEY_READ, &child);
        if (rc == ERROR_FILE_NOT_FOUND) continue;  // deleted meanwhile
        if (rc != ERROR_SUCCESS) return fail("cannot open " + keyName(root, childPath), static_cast<std::uint32_t>(rc));
        auto r = readKey(root, child, childPath, entries);
        RegCloseKey(child);
        if (!r) return r;
    }
    return {};
}

}  // namespace

Result<std::vector<RegTextEntry>> parseRegText(std::string_view bytes, unsigned codePage) {
    return Parser(codePage).run(bytes);
}

Result<std::vector<RegTextEntry>> parseRegText(std::string_view bytes) {
    return parseRegText(bytes, activeCodePage());
}

Result<std::string> formatRegText(const std::vector<RegTextEntry>& entries, RegTextFormat format, unsigned codePage) {
    return Formatter(format, codePage).run(entries);
}

Result<std::string> formatRegText(const std::vector<RegTextEntry>& entries, RegTextFormat format) {
    return formatRegText(entries, format, activeCodePage());
}

namespace {

// The machine hive for HKEY_CLASSES_ROOT: one transaction per hive.
HKEY hiveOf(HKEY root) { return root == HKEY_CLASSES_ROOT ? HKEY_LOCAL_MACHINE : root; }

Result<void> applyEntries(const std::vector<RegTextEntry>& entries) {
    for (const auto& e : entries) {
        const char* sub = e.path.empty() ? nullptr : e.path.c_str();
        if (e.removeKey) {
            if (!sub) return lineError(e.line, "a root key cannot be deleted", ERROR_ACCESS_DENIED);
            const LONG rc = RegDeleteTreeA(e.root, sub);
            if (rc != ERROR_SUCCESS && rc != ERROR_FILE_NOT_FOUND)
                return lineError(e.line, "cannot delete " + keyName(e.root, e.path), static_cast<std::uint32_t>(rc));
            continue;
        }
        HKEY key = nullptr;
        if (LONG rc = RegCreateKeyExA(e.root, sub, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key,
                                      nullptr))
            return lineError(e.line, "cannot create " + keyName(e.root, e.path), static_cast<std::uint32_t>(rc));
        for (const auto& v : e.values) {
            LONG rc;
            if (v.remove) {
                rc = RegDeleteValueA(key, v.name.c_str());
                if (rc == ERROR_FILE_NOT_FOUND) rc = ERROR_SUCCESS;
            } else {
                rc = RegSetValueExA(key, v.name.c_str(), 0, v.type, reinterpret_cast<const BYTE*>(v.data.data()),
                                    static_cast<DWORD>(v.data.size()));
            }
            if (rc != ERROR_SUCCESS) {
                RegCloseKey(key);
                return lineError(v.line, "cannot write the value \"" + v.name + "\" in " + keyName(e.root, e.path),
                                 static_cast<std::uint32_t>(rc));
            }
        }
        RegCloseKey(key);
    }
    return {};
}

}  // namespace

Result<void> applyRegText(const std::vector<RegTextEntry>& entries) {
    // Refuse up front rather than stop half-way at a hive this user may not change or at a
    // key deeper than keys may lie.
    std::set<HKEY> hives;
    for (const auto& e : entries) {
        if (!rootName(e.root)) return lineError(e.line, "unknown root key", ERROR_BADKEY);
        if (hives.insert(hiveOf(e.root)).second && !isHiveWritable(e.root))
            return lineError(e.line, std::string(rootName(e.root)) + " cannot be changed by this user",
                             ERROR_ACCESS_DENIED);
        if (depthOf(e.root, e.path) > kMaxKeyDepth) {
            const Error deep = tooDeep(e.root, e.path);
            return lineError(e.line, deep.message, deep.code);
        }
    }
    // Each hive changes in one transaction: all of the file or, on any failure, nothing.
    std::vector<HKEY> begun;
    auto rollBack = [&] {
        for (HKEY h : begun) rollbackTransaction(h);
    };
    for (HKEY h : hives) {
        if (LONG rc = beginTransaction(h)) {
            rollBack();
            return fail(std::string("cannot change ") + rootName(h), static_cast<std::uint32_t>(rc));
        }
        begun.push_back(h);
    }
    if (auto r = applyEntries(entries); !r) {
        rollBack();
        return r;
    }
    while (!begun.empty()) {
        const HKEY h = begun.back();
        begun.pop_back();
        if (LONG rc = commitTransaction(h)) {
            rollBack();
            return fail(std::string("cannot store the changes to ") + rootName(h), static_cast<std::uint32_t>(rc));
        }
    }
    return {};
}

Result<void> importRegText(std::string_view bytes) {
    auto entries = parseRegText(bytes);
    if (!entries) return entries.error();
    return applyRegText(*entries);
}

Result<std::pair<HKEY, std::string>> splitRootPath(std::string_view rootAndPath) {
    const auto slash = rootAndPath.find('\\');
    HKEY root = nullptr;
    if (!parseRoot(rootAndPath.substr(0, slash), root))
        return fail("unknown root key \"" + std::string(rootAndPath.substr(0, slash)) +
                        "\" (HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE or HKEY_CLASSES_ROOT)",
                    ERROR_BADKEY);
    std::string_view path = slash == std::string_view::npos ? std::string_view() : rootAndPath.substr(slash + 1);
    while (!path.empty() && path.back() == '\\') path.remove_suffix(1);
    if ((!path.empty() && path.front() == '\\') || path.find("\\\\") != std::string_view::npos)
        return fail("malformed key path \"" + std::string(rootAndPath) + "\"", ERROR_BAD_PATHNAME);
    return std::make_pair(root, std::string(path));
}

Result<std::vector<RegTextEntry>> readRegTree(HKEY root, const std::string& keyPath) {
    if (!rootName(root)) return fail("only HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE and HKEY_CLASSES_ROOT", ERROR_BADKEY);
    // Walk down once to spell the path as its keys were first written.
    std::string path;
    HKEY key = root;
    std::string_view rest(keyPath);
    while (!rest.empty() && rest.back() == '\\') rest.remove_suffix(1);
    while (!rest.empty()) {
        const auto slash = rest.find('\\');
        const std::string part(rest.substr(0, slash));
        rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1);
        HKEY child = nullptr;
        LONG rc = RegOpenKeyExA(key, part.c_str(), 0, KEY_READ, &child);
        std::string stored = part;
        if (rc == ERROR_SUCCESS) {
            for (DWORD i = 0;; ++i) {
                char name[256];
                DWORD size = sizeof name;
                if (RegEnumKeyExA(key, i, name, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
                if (equalsNoCase(std::string_view(name, size), part)) {
                    stored.assign(name, size);
                    break;
                }
            }
        }
        if (key != root) RegCloseKey(key);
        if (rc != ERROR_SUCCESS)
            return fail("cannot open " + keyName(root, keyPath), static_cast<std::uint32_t>(rc));
        key = child;
        path += (path.empty() ? "" : "\\") + stored;
    }
    std::vector<RegTextEntry> entries;
    auto r = readKey(root, key, path, entries);
    if (key != root) RegCloseKey(key);
    if (!r) return r.error();
    return entries;
}

Result<std::string> exportRegText(HKEY root, const std::string& keyPath, RegTextFormat format) {
    auto entries = readRegTree(root, keyPath);
    if (!entries) return entries.error();
    return formatRegText(*entries, format);
}

}  // namespace vlt::registry
