// Layout files a user may have edited by hand: the reader either gives a whole
// set of definitions or none, never a partial or shifted one.
#include "grid/untLayoutFile.h"

#include "toolkit/SysUtils.h"
#include <gtest/gtest.h>

TEST(LayoutBadInput, HighBoundsAndHugeValues)
{
    for (const char* high : {"0", "-1", "201", "2147483647", "2147483648", "99999999999999999999", "$7FFFFFFF", "", "1e3", "0x"})
        EXPECT_FALSE(ParseLayoutFile(QByteArray("[DTFormatInfo]\nhigh=") + high + "\n")) << high;
    const auto one = ParseLayoutFile("[DTFormatInfo]\nhigh=1\n");
    ASSERT_TRUE(one);
    EXPECT_EQ(one->size(), 2);
    const auto most = ParseLayoutFile("[DTFormatInfo]\nhigh=$C8\n");   // 200, written in hexadecimal
    ASSERT_TRUE(most);
    EXPECT_EQ(most->size(), 201);
    // Missing value sections: every definition keeps its defaults, in order.
    for (int i = 0; i < most->size(); ++i) {
        EXPECT_EQ(most->at(i).Order, i);
        EXPECT_EQ(most->at(i).OutputFlag, 1);
        EXPECT_TRUE(most->at(i).FieldName.isEmpty());
    }
    // Huge numbers elsewhere fall back to each value's default.
    const auto huge = ParseLayoutFile("[DTFormatInfo]\nhigh=1\n[intFieldLen]\n0=99999999999\n1=-99999999999\n"
                                      "[xcFieldType]\n0=300\n[intOutputFlag]\n0=4294967296\n");
    ASSERT_TRUE(huge);
    EXPECT_EQ(huge->at(0).Width, 0);
    EXPECT_EQ(huge->at(1).Width, 0);
    EXPECT_EQ(huge->at(0).ShowKind, 0);
    EXPECT_EQ(huge->at(0).OutputFlag, 1);
}

TEST(LayoutBadInput, OrdersMustPlaceEveryDefinitionOnce)
{
    const QByteArray head = "[DTFormatInfo]\nhigh=2\n[strFieldName]\n0=a\n1=b\n2=c\n";
    EXPECT_FALSE(ParseLayoutFile(head + "[intOrder]\n0=2\n1=2\n2=0\n"));     // duplicate
    EXPECT_FALSE(ParseLayoutFile(head + "[intOrder]\n0=0\n1=1\n2=200\n"));   // past high
    // An order that is no usable number falls back to the definition's own index.
    const auto fallback = ParseLayoutFile(head + "[intOrder]\n0=1\n1=99999999999\n2=x\n");
    EXPECT_FALSE(fallback);   // 0 -> 1 and 1 -> 1: position 0 stays empty
    const auto kept = ParseLayoutFile(head + "[intOrder]\n0=0\n1=99999999999\n2=x\n");
    ASSERT_TRUE(kept);
    EXPECT_EQ(kept->at(1).FieldName, QStringLiteral("b"));
    EXPECT_EQ(kept->at(2).FieldName, QStringLiteral("c"));
    const auto swapped = ParseLayoutFile(head + "[intOrder]\n0=2\n1=1\n2=0\n");
    ASSERT_TRUE(swapped);
    EXPECT_EQ(swapped->at(0).FieldName, QStringLiteral("c"));
    EXPECT_EQ(swapped->at(2).FieldName, QStringLiteral("a"));
}

TEST(LayoutBadInput, InvalidGbkBytesStayInTheirOwnValue)
{
    // A lead byte with no trail, a lone 0x80 and 0xFF inside a caption; the next
    // line and the other definitions are read as written.
    QByteArray file = ToGbk(QStringLiteral("[DTFormatInfo]\nhigh=1\n[strFieldTital]\n0="));
    file += "\x81\x0a";
    file += "1=ab\x80\xff";
    file += ToGbk(QStringLiteral("预算\n[strFieldName]\n0=eid\n1=ename\n"));
    const auto defs = ParseLayoutFile(file);
    ASSERT_TRUE(defs);
    ASSERT_EQ(defs->size(), 2);
    EXPECT_EQ(defs->at(0).FieldName, QStringLiteral("eid"));
    EXPECT_EQ(defs->at(1).FieldName, QStringLiteral("ename"));
    EXPECT_TRUE(defs->at(1).Caption.startsWith(QStringLiteral("ab"))) << qPrintable(defs->at(1).Caption);
    EXPECT_TRUE(defs->at(1).Caption.endsWith(QStringLiteral("预算"))) << qPrintable(defs->at(1).Caption);
    EXPECT_LE(defs->at(0).Caption.size(), 1);
}
