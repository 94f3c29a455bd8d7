#include "base/line_escape.h"

#include "base/codepage.h"

#include <gtest/gtest.h>

namespace vel {
namespace {

TEST(LineEscape, ColumnsHoldNoControlCharacterAndReadBack)
{
    const std::string texts[] = {
        "",
        "plain",
        "Tab\tLine\nBack\\slash",
        "\\\\t is no tab",
        "C0 \x01\x0D\x1F and DEL \x7F",
        "C1 \xC2\x80\xC2\x81\xC2\x9F, beside \xC2\xA0 (no control)",
        "Caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x94\x94",
        std::string("a\0b", 3),
        "\\x41 looks like an escape",
        "ends in a backslash\\",
    };
    for (const std::string& text : texts) {
        const std::string column = EscapeControls(text, true);
        for (const char c : column) {
            const auto b = static_cast<unsigned char>(c);
            EXPECT_FALSE(b < 0x20 || b == 0x7F) << column;
        }
        EXPECT_EQ(column.find("\xC2\x85"), std::string::npos);
        auto back = UnescapeControls(column);
        ASSERT_TRUE(back.ok()) << column << ": " << back.error().message;
        EXPECT_EQ(*back, text) << column;
    }
}

TEST(LineEscape, EveryStoredByteReadsBack)
{
    // Every byte a stored name may hold, as the listings show it.
    for (int b = 0; b < 256; ++b) {
        const std::string utf8 = Cp1252ToUtf8(std::string(1, static_cast<char>(b)));
        auto back = UnescapeControls(EscapeControls(utf8, true));
        ASSERT_TRUE(back.ok()) << b;
        EXPECT_EQ(*back, utf8) << b;
    }
}

TEST(LineEscape, TheFormTheListingsShow)
{
    EXPECT_EQ(EscapeControls("Tab\tLine\nBack\\slash\xC2\x81\x7F", true), "Tab\\tLine\\nBack\\\\slash\\x81\\x7F");
    // Messages keep their backslashes: they are read by people, not read back.
    EXPECT_EQ(EscapeControls("a\\b\tc", false), "a\\b\\tc");
}

TEST(LineEscape, WhatTheEscapingNeverWritesIsRefused)
{
    const std::string bad[] = {
        "\\",       // a backslash at the end
        "a\\qb",    // unknown escape
        "\\x4",     // too short
        "\\x4G",    // no hex digit
        "\\x41",    // "A" is no control character
        "\\xA0",    // neither is U+00A0
        "raw\ttab", // a control character not escaped
        "raw \xC2\x85 C1",
    };
    for (const std::string& column : bad) {
        auto text = UnescapeControls(column);
        EXPECT_FALSE(text.ok()) << column;
        if (!text.ok()) {
            EXPECT_EQ(text.error().code, ErrorCode::BadFormat);
        }
    }
    auto lower = UnescapeControls("\\x1b\\x9f");
    ASSERT_TRUE(lower.ok());
    EXPECT_EQ(*lower, "\x1B\xC2\x9F");
}

} // namespace
} // namespace vel

namespace vel {
namespace {

// Numbers of the work folder's files: digits only, never one that overflows.
TEST(DecimalColumn, DigitsOnlyAndNeverTooLong)
{
    EXPECT_EQ(DecimalColumn("0"), 0);
    EXPECT_EQ(DecimalColumn("4711"), 4711);
    EXPECT_EQ(DecimalColumn("999999999999999999"), 999999999999999999LL);
    for (const char* bad : {"", "-1", "+1", " 1", "1 ", "1a", "0x10", "1000000000000000000"})
        EXPECT_EQ(DecimalColumn(bad), std::nullopt) << bad;
}

} // namespace
} // namespace vel
