// MultiByteToWideChar and WideCharToMultiByte: the ANSI code page of the machine, UTF-8, and
// the size-query and buffer conventions the registration code relies on.
#include <gtest/gtest.h>

#include <string>

#include "com_test.h"
#include "win32/winbase.h"
#include "win32/winnls.h"

namespace vlt::test {
namespace {

using Conversion = ComTest;

std::u16string toWide(UINT cp, const std::string& bytes, DWORD flags = 0) {
    const int n = MultiByteToWideChar(cp, flags, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    std::u16string out(static_cast<std::size_t>(n), u'\0');
    if (n > 0) {
        EXPECT_EQ(MultiByteToWideChar(cp, flags, bytes.data(), static_cast<int>(bytes.size()), out.data(), n), n);
    }
    return out;
}

std::string toNarrow(UINT cp, const std::u16string& text, BOOL* usedDefault = nullptr,
                     const char* defaultChar = nullptr) {
    const int n = WideCharToMultiByte(cp, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, defaultChar,
                                      usedDefault);
    std::string out(static_cast<std::size_t>(n), '\0');
    if (n > 0) {
        EXPECT_EQ(WideCharToMultiByte(cp, 0, text.data(), static_cast<int>(text.size()), out.data(), n, defaultChar,
                                      usedDefault),
                  n);
    }
    return out;
}

TEST_F(Conversion, AnsiIsWindows1252ByDefault) {
    EXPECT_EQ(toWide(CP_ACP, "caf\xE9 \x80 \x9C"), u"caf\u00E9 \u20AC \u0153");
    EXPECT_EQ(toNarrow(CP_ACP, u"caf\u00E9 \u20AC \u0153"), "caf\xE9 \x80 \x9C");
    // Bytes 1252 leaves undefined map to the C1 controls of the same value, and back.
    EXPECT_EQ(toWide(CP_ACP, "\x81\x8D\x8F\x90\x9D"), u"\u0081\u008D\u008F\u0090\u009D");
    EXPECT_EQ(toNarrow(1252, u"\u0081\u009D"), "\x81\x9D");
}

TEST_F(Conversion, AnsiFollowsTheMachinesCodePage) {
    setString(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Control\\Nls\\CodePage", "ACP", "1251");
    EXPECT_EQ(toWide(CP_ACP, "\xCF\xF0\xE8"), u"\u041F\u0440\u0438");
    EXPECT_EQ(toNarrow(CP_ACP, u"\u041F\u0440\u0438"), "\xCF\xF0\xE8");
    EXPECT_EQ(toWide(1252, "\xCF"), u"\u00CF") << "an explicit code page is not affected";
}

TEST_F(Conversion, CharactersTheCodePageLacksBecomeTheDefaultCharacter) {
    BOOL used = 7;
    EXPECT_EQ(toNarrow(CP_ACP, u"a\u041Fb", &used), "a?b");
    EXPECT_EQ(used, TRUE);
    EXPECT_EQ(toNarrow(CP_ACP, u"ab", &used), "ab");
    EXPECT_EQ(used, FALSE);
    EXPECT_EQ(toNarrow(CP_ACP, u"\u4E2D", &used, "#"), "#");
    EXPECT_EQ(used, TRUE);
}

TEST_F(Conversion, MinusOneLengthConvertsTheTerminatorToo) {
    char buf[8] = "xxxxxxx";
    EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, u"abc", -1, buf, sizeof buf, nullptr, nullptr), 4);
    EXPECT_EQ(std::string(buf), "abc");
    EXPECT_EQ(buf[4], 'x') << "nothing written past the converted text";
    EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, u"abc", -1, nullptr, 0, nullptr, nullptr), 4);
    EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, u"abc", 3, nullptr, 0, nullptr, nullptr), 3);

    WCHAR wbuf[8];
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "\xE9t\xE9", -1, wbuf, 8), 4);
    EXPECT_EQ(std::u16string(wbuf), u"\u00E9t\u00E9");
}

TEST_F(Conversion, BufferTooSmallIsAnErrorNotATruncation) {
    char buf[3];
    SetLastError(0);
    EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, u"abcd", -1, buf, sizeof buf, nullptr, nullptr), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    WCHAR wbuf[2];
    SetLastError(0);
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "abc", 3, wbuf, 2), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
}

TEST_F(Conversion, InvalidArgumentsAndFlags) {
    WCHAR wbuf[4];
    SetLastError(0);
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "abc", 0, wbuf, 4), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, nullptr, 3, wbuf, 4), 0);
    EXPECT_EQ(MultiByteToWideChar(437, 0, "abc", 3, wbuf, 4), 0) << "an OEM code page is not supported";
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0x10000, "abc", 3, wbuf, 4), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_FLAGS));
    BOOL used = FALSE;
    char buf[8];
    EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, u"abc", 3, buf, 8, nullptr, &used), 0)
        << "UTF-8 has no default character";
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

TEST_F(Conversion, Utf8BothWaysWithSurrogatePairs) {
    EXPECT_EQ(toWide(CP_UTF8, "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x94\x92"), u"a\u00E9\u20AC\U0001F512");
    EXPECT_EQ(toNarrow(CP_UTF8, u"a\u00E9\u20AC\U0001F512"), "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x94\x92");
}

TEST_F(Conversion, InvalidUtf8IsReplacedOrRefusedOnRequest) {
    EXPECT_EQ(toWide(CP_UTF8, "a\xFF" "b"), u"a\uFFFDb");
    EXPECT_EQ(toWide(CP_UTF8, "\xC0\xAF"), u"\uFFFD\uFFFD") << "overlong forms are not characters";
    EXPECT_EQ(toWide(CP_UTF8, "\xED\xA0\x80"), u"\uFFFD") << "nor are encoded surrogates";
    WCHAR wbuf[8];
    SetLastError(0);
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, "a\xFF", 2, wbuf, 8), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_UNICODE_TRANSLATION));
    const char16_t lone[] = {u'a', 0xD800, u'b'};
    EXPECT_EQ(toNarrow(CP_UTF8, std::u16string(lone, 3)), "a\xEF\xBF\xBD" "b");
    char buf[8];
    EXPECT_EQ(WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, lone, 3, buf, 8, nullptr, nullptr), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_UNICODE_TRANSLATION));
}

}  // namespace
}  // namespace vlt::test
