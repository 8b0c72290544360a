// The single-byte ANSI code pages as Unicode tables, and UTF-8/UTF-16 conversion: what
// MultiByteToWideChar and WideCharToMultiByte are made of, for other layers too.
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <unordered_map>

#include "base/export.h"

VLT_EXPORT_BEGIN

namespace vlt::com {

class CodePage {
public:
    explicit CodePage(unsigned number);
    unsigned number() const { return m_number; }
    // The character a byte stands for. Bytes the code page leaves undefined stand for U+FFFD,
    // except in Windows-1252, where Windows maps them to the C1 controls of the same value.
    char16_t toUnicode(unsigned char byte) const { return m_toUnicode[byte]; }
    // The byte for a character; -1 when the code page cannot hold it.
    int fromUnicode(char16_t c) const;

private:
    unsigned m_number;
    std::array<char16_t, 256> m_toUnicode{};
    std::unordered_map<char16_t, unsigned char> m_fromUnicode;
};

// CP_ACP (0) and CP_THREAD_ACP (3) name the machine's ANSI code page. nullptr for a code page
// that is not a supported single-byte Windows code page (CP_UTF8 included).
const CodePage* singleByteCodePage(unsigned number);

// One UTF-16 unit per invalid UTF-8 sequence (U+FFFD); *invalid says whether there was one.
std::u16string utf8ToUtf16(std::string_view utf8, bool* invalid = nullptr);
// Unpaired surrogates become U+FFFD; *invalid says whether there was one.
std::string utf16ToUtf8(std::u16string_view utf16, bool* invalid = nullptr);

// Simple (one-to-one) upper case of a character in the ranges the Windows ANSI code pages
// hold letters in: Latin (Basic, Latin-1, Extended-A), Greek and Cyrillic. Others unchanged.
char16_t toUpper(char16_t c);
char16_t toLower(char16_t c);

}  // namespace vlt::com

VLT_EXPORT_END
