#include "toolkit/Decimal.h"
#include <limits>
#include <utility>
#include <gtest/gtest.h>

TEST(DecimalSum, AddsAmountsExactlyWhereFloatingPointDrifts)
{
    // A million amounts of 0.1: as doubles the sum is off in the tenth digit.
    TDecimalSum sum;
    double floating = 0;
    for (int i = 0; i < 1000000; ++i) {
        ASSERT_TRUE(sum.Add("0.1", 3));
        floating += 0.1;
    }
    EXPECT_EQ(sum.Text(), QStringLiteral("100000"));
    EXPECT_NE(floating, 100000.0);
    EXPECT_EQ(sum.Cents(), 10000000);

    // The texts a database gives for floating-point values: exponents, signs,
    // more places than nine (rounded half away from zero).
    TDecimalSum t;
    EXPECT_TRUE(t.Add(QStringLiteral("3e-05")));
    EXPECT_TRUE(t.Add(QStringLiteral("-1.5E2")));
    EXPECT_TRUE(t.Add(QStringLiteral(" 150.0000000005 ")));
    EXPECT_EQ(t.Text(), QStringLiteral("0.000030001"));
    EXPECT_FALSE(t.Add(QStringLiteral("abc")));
    EXPECT_FALSE(t.Add(QStringLiteral("inf")));
    EXPECT_FALSE(t.Add(QStringLiteral("")));
    EXPECT_EQ(t.Text(), QStringLiteral("0.000030001"));
    EXPECT_EQ(TDecimalSum::CentsText(-7), QStringLiteral("-0.07"));
    EXPECT_EQ(TDecimalSum::CentsText(123450), QStringLiteral("1234.50"));

    // A number past the range is no silent zero: the sum says so.
    TDecimalSum big;
    EXPECT_TRUE(big.Add(QStringLiteral("1e300")));
    EXPECT_TRUE(big.OutOfRange());
}

TEST(ChineseCapitals, WritesAmountsAsThePaymentSettlementRulesDo)
{
    const std::pair<long long, const char*> cases[] = {
        // The rules' own examples.
        {140950, "人民币壹仟肆佰零玖元伍角整"},
        {600700, "人民币陆仟零柒元整"},
        {168032, "人民币壹仟陆佰捌拾元零叁角贰分"},
        {10700053, "人民币壹拾万柒仟元零伍角叁分"},
        {1640902, "人民币壹万陆仟肆佰零玖元零贰分"},
        {32504, "人民币叁佰贰拾伍元零肆分"},
        // 壹拾, zeros inside and between the groups, 亿.
        {1000, "人民币壹拾元整"}, {1900, "人民币壹拾玖元整"}, {11000000, "人民币壹拾壹万元整"},
        {100001000, "人民币壹佰万零壹拾元整"}, {10000500000, "人民币壹亿零伍仟元整"},
        {10000000000, "人民币壹亿元整"}, {12345678901234, "人民币壹仟贰佰叁拾肆亿伍仟陆佰柒拾捌万玖仟零壹拾贰元叁角肆分"},
        {1000000000000000, "人民币壹拾万亿元整"},
        // Below a yuan, nothing, and below nothing.
        {56, "人民币伍角陆分"}, {5, "人民币伍分"}, {50, "人民币伍角整"}, {0, "人民币零元整"},
        {1005, "人民币壹拾元零伍分"}, {-50, "人民币负伍角整"}, {-168032, "人民币负壹仟陆佰捌拾元零叁角贰分"},
    };
    for (const auto& [cents, text] : cases)
        EXPECT_EQ(ChineseCapitals(cents), QString::fromUtf8(text)) << cents;
    EXPECT_TRUE(ChineseCapitals(std::numeric_limits<long long>::min()).startsWith(QStringLiteral("人民币负")));
}
