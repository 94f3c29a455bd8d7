#include "views/host_container.h"

#include <gtest/gtest.h>

namespace vel {
namespace {

TEST(HostValues, NumbersAndFlagsReadAsIntegers)
{
    EXPECT_EQ(*HostValueToInt(HostValue{true}), -1);
    EXPECT_EQ(*HostValueToInt(HostValue{false}), 0);
    EXPECT_EQ(*HostValueToInt(HostValue{std::int16_t{-7}}), -7);
    EXPECT_EQ(*HostValueToInt(HostValue{std::int32_t{123456}}), 123456);
    EXPECT_EQ(*HostValueToInt(HostValue{2.5}), 2); // halves to even
    EXPECT_EQ(*HostValueToInt(HostValue{3.5F}), 4);
    EXPECT_EQ(*HostValueToInt(HostValue{-2.5}), -2);
    EXPECT_EQ(HostValueToInt(HostValue{3e10}).error().code, ErrorCode::InvalidArgument);
    EXPECT_EQ(HostValueToInt(HostValue{std::string("5")}).error().code, ErrorCode::InvalidArgument);
    EXPECT_EQ(HostValueToInt(HostValue{}).error().code, ErrorCode::InvalidArgument);
    EXPECT_EQ(*HostValueToNumber(HostValue{400.5}), 400.5);
    EXPECT_EQ(*HostValueToNumber(HostValue{true}), -1.0);
}

TEST(HostValues, TextsReadAsTexts)
{
    EXPECT_EQ(*HostValueToText(HostValue{std::string("07:00")}), "07:00");
    EXPECT_EQ(HostValueToText(HostValue{std::int32_t{7}}).error().code, ErrorCode::InvalidArgument);
    EXPECT_EQ(HostValueToText(HostValue{}).error().code, ErrorCode::InvalidArgument);
}

} // namespace
} // namespace vel
