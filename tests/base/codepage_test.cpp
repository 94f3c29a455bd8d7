#include "base/codepage.h"

#include "base/texts.h"

#include <gtest/gtest.h>

namespace vel {
namespace {

TEST(Texts, FallbackAndTable)
{
    SuiteTexts texts;
    EXPECT_EQ(texts.GetText(803), "Invalid Text (803)");
    EXPECT_EQ(texts.GetText(-5), "Invalid Text (-5)");
    texts.Add(611, "Mo");
    texts.Add(612, "Tu");
    EXPECT_EQ(texts.GetText(612), "Tu");
    EXPECT_EQ(texts.GetText(611), "Mo");
    EXPECT_EQ(texts.TextCount, 2);
    EXPECT_EQ(texts.GetText(888), "Invalid Text (888)");
}

TEST(CodePage, EveryByteSurvivesTheRoundTrip)
{
    for (int b = 0; b < 256; ++b) {
        const AnsiText one(1, static_cast<char>(b));
        auto back = Utf8ToCp1252(Cp1252ToUtf8(one));
        ASSERT_TRUE(back.ok()) << b;
        EXPECT_EQ(*back, one) << b;
    }
    EXPECT_EQ(Cp1252ToUtf8("\x80 \xE9"), "\xE2\x82\xAC \xC3\xA9");
}

TEST(CodePage, CharactersOutsideAreRefused)
{
    auto cjk = Utf8ToCp1252("\xE4\xB8\xAD");
    ASSERT_FALSE(cjk.ok());
    EXPECT_NE(cjk.error().message.find("U+4E2D"), std::string::npos) << cjk.error().message;
    EXPECT_FALSE(Utf8ToCp1252("\xC3").ok());         // cut short
    EXPECT_FALSE(Utf8ToCp1252("\xC0\xAF").ok());     // overlong
    EXPECT_FALSE(Utf8ToCp1252("\xED\xA0\x80").ok()); // surrogate
}

TEST(CodePage, UpperCaseComparison)
{
    EXPECT_EQ(CompareUpper("\xE9t\xE9", "\xC9T\xC9"), 0); // été / ÉTÉ
    EXPECT_EQ(CompareUpper("alpha", "ALPHA"), 0);
    EXPECT_LT(CompareUpper("Alpha", "alpha2"), 0);
    EXPECT_LT(CompareUpper("alpha2", "beta"), 0);
    EXPECT_EQ(CompareUpper("\x9A", "\x8A"), 0);           // š / Š
    EXPECT_EQ(CompareUpper("\xFF", "\x9F"), 0);           // ÿ / Ÿ
    EXPECT_LT(CompareUpper("\xC0", "\x8A"), 0);           // À (U+00C0) before Š (U+0160)
    EXPECT_EQ(UpperCaseAnsi("ma\xDF\xB5"), "MA\xDF\xB5"); // ß and µ have no capital here
}

} // namespace
} // namespace vel
