// The ANSI code pages: what round-trips, what is refused and named, and the 0x80-0x9F range
// where Windows-1252 differs from Latin-1.
#include <gtest/gtest.h>

#include "base/codepage.h"

namespace vlt::base {
namespace {

TEST(CodePage, TextRoundTripsThroughItsCodePage) {
    const struct {
        unsigned page;
        const char* utf8;
        const char* ansi;
    } cases[] = {
        {1252, "plain ascii", "plain ascii"},
        {1252, "caf\u00E9", "caf\xE9"},
        {1252, "\u20AC", "\x80"},           // not U+0080 as in Latin-1
        {1252, "\u2026\u0153\u0178", "\x85\x9C\x9F"},
        {1252, "\u00FF", "\xFF"},
        {1251, "\u0416\u20AC", "\xC6\x88"},  // the euro sits elsewhere in Cyrillic
        {1250, "\u0142", "\xB3"},
    };
    for (const auto& c : cases) {
        const auto ansi = utf8ToAnsi(c.utf8, c.page);
        ASSERT_TRUE(ansi) << c.utf8;
        EXPECT_EQ(*ansi, c.ansi) << c.utf8;
        EXPECT_EQ(ansiToUtf8(c.ansi, c.page), c.utf8) << c.page;
    }
}

TEST(CodePage, WhatTheCodePageCannotHoldIsRefusedAndNamed) {
    const struct {
        unsigned page;
        const char* utf8;
        const char* message;
        std::uint32_t code;
    } cases[] = {
        {1252, "ab\u65E5c", "the character \"\u65E5\" cannot be written in the Windows code page 1252", 1113},
        {1252, "\u0416", "the character \"\u0416\" cannot be written in the Windows code page 1252", 1113},
        {1252, "x\U0001F600", "the character \"\U0001F600\" cannot be written in the Windows code page 1252", 1113},
        {1252, "\xC3", "the text is not valid UTF-8", 1113},
        {65001, "ascii", "unsupported code page 65001", 0},  // refused even when nothing needs converting
    };
    for (const auto& c : cases) {
        const auto ansi = utf8ToAnsi(c.utf8, c.page);
        ASSERT_FALSE(ansi) << c.utf8;
        EXPECT_EQ(ansi.error().message, c.message);
        EXPECT_EQ(ansi.error().code, c.code) << c.message;
    }
}

TEST(CodePage, UndefinedBytesReadAsReplacementCharacters) {
    for (const char* undefined : {"\x81", "\x8D", "\x8F", "\x90", "\x9D"})
        EXPECT_EQ(ansiToUtf8(std::string("a") + undefined + "b"), "a\uFFFDb") << int(undefined[0] & 0xFF);
    // An unknown code page reads as the default rather than failing.
    EXPECT_EQ(ansiToUtf8("\x80", 437), "\u20AC");
}

}  // namespace
}  // namespace vlt::base
