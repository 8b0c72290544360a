// CharUpperA, lstrcmpA and lstrcmpiA by the ANSI code page's rules.
#include <cstdint>
#include <string>

#include "shell_test.h"
#include "win32/winstr.h"

namespace vlt::test {
namespace {

using AnsiStrings = ShellTest;

std::string upper(std::string s) {
    EXPECT_EQ(CharUpperA(s.data()), s.data()) << "upper-cased in place";
    return s;
}

TEST_F(AnsiStrings, CharUpperFollowsWindows1252) {
    EXPECT_EQ(upper("report.doc.vtf"), "REPORT.DOC.VTF");
    EXPECT_EQ(upper("\xE0\xE9\xEE\xF5\xFC\xE7\xF1\xF8"), "\xC0\xC9\xCE\xD5\xDC\xC7\xD1\xD8");
    // The letters of 1252 outside Latin-1: \xFF to \x9F, \x9A to \x8A, \x9C to \x8C, \x9E to \x8E.
    EXPECT_EQ(upper("\xFF\x9A\x9C\x9E"), "\x9F\x8A\x8C\x8E");
    // Letters without a capital in the code page, and non-letters, stay.
    EXPECT_EQ(upper("\xDF\xB5\x83 0-9 \xF7\xD7"), "\xDF\xB5\x83 0-9 \xF7\xD7");
}

TEST_F(AnsiStrings, CharUpperOfOneCharacterInThePointer) {
    const auto one = [](unsigned char c) {
        return static_cast<unsigned char>(
            reinterpret_cast<std::uintptr_t>(CharUpperA(reinterpret_cast<LPSTR>(std::uintptr_t{c}))));
    };
    EXPECT_EQ(one('a'), 'A');
    EXPECT_EQ(one(0xE9), 0xC9);
    EXPECT_EQ(one('1'), '1');
}

TEST_F(AnsiStrings, CharUpperFollowsTheMachinesCodePage) {
    setAnsiCodePage("1251");
    EXPECT_EQ(upper("\xEF\xF0\xE8\xE2\xE5\xF2 abc"), "\xCF\xD0\xC8\xC2\xC5\xD2 ABC");
    EXPECT_EQ(upper("\xB8"), "\xA8") << "yo";
    setAnsiCodePage("1250");
    EXPECT_EQ(upper("\xB9\xE6\xEA\xB3\xF1\xF3\x9C\x9F\xBF"), "\xA5\xC6\xCA\xA3\xD1\xD3\x8C\x8F\xAF");
}

// The test the context-menu handler makes on the last four characters of each name.
bool endsInLockedExtension(const std::string& name) {
    if (name.size() < 4) return false;
    std::string last = name.substr(name.size() - 4);
    CharUpperA(last.data());
    return lstrcmpA(last.c_str(), ".VTF") == 0;
}

TEST_F(AnsiStrings, TheLockedFileTest) {
    EXPECT_TRUE(endsInLockedExtension("/home/ann/report.doc.Vtf"));
    EXPECT_TRUE(endsInLockedExtension("/home/ann/REPORT.VTF"));
    EXPECT_TRUE(endsInLockedExtension("/x/a.vTf"));
    EXPECT_FALSE(endsInLockedExtension("/x/a.vtf2"));
    EXPECT_FALSE(endsInLockedExtension("/x/a.vt"));
    EXPECT_FALSE(endsInLockedExtension("/x/a-vtf"));
}

TEST_F(AnsiStrings, EqualityIsExactForLstrcmpAndCaseBlindForLstrcmpi) {
    EXPECT_EQ(lstrcmpA(".VTF", ".VTF"), 0);
    EXPECT_NE(lstrcmpA(".vtf", ".VTF"), 0);
    EXPECT_EQ(lstrcmpiA(".vtf", ".VTF"), 0);
    EXPECT_EQ(lstrcmpiA("\xE9t\xE9", "\xC9T\xC9"), 0) << "accented capitals of the code page too";
    EXPECT_NE(lstrcmpiA("e", "\xE9"), 0) << "accents still count";
    EXPECT_NE(lstrcmpA("a\x01", "a\x02"), 0) << "different strings are never equal";
    EXPECT_EQ(lstrcmpA("", ""), 0);
    EXPECT_EQ(lstrcmpA(nullptr, nullptr), 0);
    EXPECT_EQ(lstrcmpA(nullptr, ""), -1);
    EXPECT_EQ(lstrcmpA("", nullptr), 1);
}

TEST_F(AnsiStrings, WordSortOrder) {
    // Letters by alphabet first, not by code: a < B, whatever the case.
    EXPECT_EQ(lstrcmpA("a", "B"), -1);
    EXPECT_EQ(lstrcmpA("B", "a"), 1);
    EXPECT_EQ(lstrcmpA("abc", "ABD"), -1);
    // Lower case before upper case when that is the only difference.
    EXPECT_EQ(lstrcmpA("a", "A"), -1);
    EXPECT_EQ(lstrcmpA("Zebra", "zebra"), 1);
    // An accented letter follows its letter and precedes the next one.
    EXPECT_EQ(lstrcmpA("e", "\xE9"), -1);
    EXPECT_EQ(lstrcmpA("\xE9", "f"), -1);
    EXPECT_EQ(lstrcmpA("r\xE9sum\xE9", "resume"), 1);
    EXPECT_EQ(lstrcmpA("r\xE9sum\xE9", "resumes"), -1);
    // Punctuation before digits before letters; shorter first.
    EXPECT_EQ(lstrcmpA("!", "0"), -1);
    EXPECT_EQ(lstrcmpA("9", "a"), -1);
    EXPECT_EQ(lstrcmpA("abc", "abcd"), -1);
    // Hyphens and apostrophes count only when all else is equal.
    EXPECT_EQ(lstrcmpA("co-op", "cooperate"), -1);
    EXPECT_EQ(lstrcmpA("coop", "co-op"), -1);
    EXPECT_EQ(lstrcmpA("can't", "cant"), 1);
    EXPECT_EQ(lstrcmpiA("CO-OP", "co-op"), 0);
}

}  // namespace
}  // namespace vlt::test
