#include "base/text_conversions.h"

#include <gtest/gtest.h>

namespace vel {
namespace {

TEST(LeadingNumber, ReadsTheNumberAtTheStart)
{
    EXPECT_EQ(LeadingNumber(""), 0);
    EXPECT_EQ(LeadingNumber("ab"), 0);
    EXPECT_EQ(LeadingNumber("5a"), 5);
    EXPECT_EQ(LeadingNumber("7.5"), 7.5);
    EXPECT_EQ(LeadingNumber(" 1 2 "), 12);
    EXPECT_EQ(LeadingNumber("-5"), -5);
    EXPECT_EQ(LeadingNumber("1e3"), 1000);
    EXPECT_EQ(LeadingNumber("2e"), 2);
}

TEST(RoundHalfEven, HalvesGoToTheEvenNeighbour)
{
    EXPECT_EQ(RoundHalfEven(0.5), 0);
    EXPECT_EQ(RoundHalfEven(1.5), 2);
    EXPECT_EQ(RoundHalfEven(2.5), 2);
    EXPECT_EQ(RoundHalfEven(-0.5), 0);
    EXPECT_EQ(RoundHalfEven(-1.5), -2);
    EXPECT_EQ(RoundHalfEven(2.4999), 2);
}

AnsiText Field(const AnsiText& text, std::int16_t index, AnsiText sep = ";")
{
    return ExtractField(text, index, sep);
}

TEST(ExtractField, WithSemicolon)
{
    EXPECT_EQ(Field("a;b;c", 1), "b");
    EXPECT_EQ(Field("a;b;c", 3), "");
    EXPECT_EQ(Field("a;;b", 1), "");
    EXPECT_EQ(Field("a;;b", 2), "b");
    EXPECT_EQ(Field("abc", 0), "abc");
    EXPECT_EQ(Field("abc", 1), "");
    EXPECT_EQ(Field("", 0), "");
    EXPECT_EQ(Field("a;", 1), "");
    EXPECT_EQ(Field("a;b", -1), "");
    EXPECT_EQ(Field("a--b", 1, "--"), "b");
    EXPECT_EQ(Field("aXbxc", 1, "x"), "c"); // letters compare by code
}

TEST(ExtractField, EmptySeparatorIsChosenAndHandedBack)
{
    AnsiText sep;
    EXPECT_EQ(ExtractField("x\ty;z", 1, sep), "y;z");
    EXPECT_EQ(sep, "\t");
    sep.clear();
    EXPECT_EQ(ExtractField("x;y", 1, sep), "y");
    EXPECT_EQ(sep, ";");
    sep.clear();
    EXPECT_EQ(ExtractField("xy", 0, sep), "");
    EXPECT_EQ(sep, "");
}

TEST(ExtractField, NulSeparatedReceiverLists)
{
    const AnsiText list("Siren\0Pager\0", 12);
    const AnsiText nul(1, '\0');
    AnsiText sep = nul;
    EXPECT_EQ(ExtractField(list, 0, sep), "Siren");
    EXPECT_EQ(ExtractField(list, 1, sep), "Pager");
    EXPECT_EQ(ExtractField(list, 2, sep), "");
    EXPECT_EQ(sep, nul);
}

} // namespace
} // namespace vel
