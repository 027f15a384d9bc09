#include "toolkit/Decimal.h"
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
