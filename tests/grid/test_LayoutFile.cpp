#include "grid/untLayoutFile.h"

#include "toolkit/SysUtils.h"
#include <gtest/gtest.h>

TEST(LayoutFile, ReadsEveryValueWithItsDefaultsAndRanges)
{
    const QByteArray file = ToGbk(QStringLiteral(
        "; a comment\n"
        "[dtformatinfo]\n HIGH = 3 \n"
        "[strFieldTital]\n0=单位名称\n1=\"金额 \"\n3=科目\n"
        "[strFieldName]\n0=ename\n1=money\n0=ignored\n"
        "[xcFieldType]\n0=1\n1=4\n2=-1\n"
        "[xcFieldDataType]\n0=3\n1=7\n3=2\n"
        "[intFieldLen]\n0=180\n1=$10\n"
        "[intOutputFlag]\n0=5\n1=x\n"
        "[other]\n0=nothing\n"));
    const auto defs = ParseLayoutFile(file);
    ASSERT_TRUE(defs.has_value());
    ASSERT_EQ(defs->size(), 4);
    const TLayoutDefinition& d0 = defs->at(0);
    EXPECT_EQ(d0.Caption, QStringLiteral("单位名称"));
    EXPECT_EQ(d0.FieldName, QStringLiteral("ename"));   // the first of a repeated key
    EXPECT_EQ(d0.ShowKind, 1);
    EXPECT_EQ(d0.DataKind, 3);
    EXPECT_EQ(d0.Width, 180);
    EXPECT_EQ(d0.OutputFlag, 5);
    const TLayoutDefinition& d1 = defs->at(1);
    EXPECT_EQ(d1.Caption, QStringLiteral("金额 "));
    EXPECT_EQ(d1.ShowKind, 0);     // 4 is out of range
    EXPECT_EQ(d1.DataKind, 1);     // 7 is out of range
    EXPECT_EQ(d1.Width, 16);
    EXPECT_EQ(d1.OutputFlag, 1);   // not a number
    const TLayoutDefinition& d2 = defs->at(2);
    EXPECT_EQ(d2.Caption, QString());
    EXPECT_EQ(d2.ShowKind, 0);
    EXPECT_EQ(d2.DataKind, 0);     // absent
    EXPECT_EQ(d2.Width, 0);
    EXPECT_EQ(d2.Order, 2);
    EXPECT_EQ(defs->at(3).DataKind, 2);
}

TEST(LayoutFile, Utf8WithByteOrderMarkAndGbkAreBothRead)
{
    const QString text = QStringLiteral("[DTFormatInfo]\nhigh=1\n[strFieldTital]\n0=预算编码\n1=指标文号\n");
    const auto utf8 = ParseLayoutFile("\xEF\xBB\xBF" + text.toUtf8());
    const auto gbk = ParseLayoutFile(ToGbk(text));
    ASSERT_TRUE(utf8 && gbk);
    EXPECT_EQ(utf8->at(0).Caption, QStringLiteral("预算编码"));
    EXPECT_EQ(gbk->at(1).Caption, QStringLiteral("指标文号"));
    // Keys are plain decimals: "01" is not definition 1.
    const auto padded = ParseLayoutFile("[DTFormatInfo]\rhigh=1\r[strFieldName]\r01=x\r1=y\r");
    ASSERT_TRUE(padded);
    EXPECT_EQ(padded->at(1).FieldName, QStringLiteral("y"));
}

TEST(LayoutFile, IntegersAndHugeInputs)
{
    EXPECT_EQ(LayoutInteger(u"42", 0), 42);
    EXPECT_EQ(LayoutInteger(u" -7 ", 0), -7);
    EXPECT_EQ(LayoutInteger(u"+3", 0), 3);
    EXPECT_EQ(LayoutInteger(u"0x1F", 0), 31);
    EXPECT_EQ(LayoutInteger(u"$FFFFFFFF", 0), -1);
    EXPECT_EQ(LayoutInteger(u"2147483648", 9), 9);
    EXPECT_EQ(LayoutInteger(u"99999999999999999999", 9), 9);
    EXPECT_EQ(LayoutInteger(u"1 2", 9), 9);
    EXPECT_EQ(LayoutInteger(u"", 9), 9);
    EXPECT_EQ(LayoutInteger(u"-", 9), 9);

    // Ten megabytes of lines, and one line of ten megabytes: read through once.
    QByteArray lines = "[DTFormatInfo]\nhigh=2\n[strFieldName]\n";
    while (lines.size() < 10 * 1024 * 1024)
        lines += "k" + QByteArray::number(lines.size()) + "=[value]\n";
    lines += "[intOrder]\n0=0\n1=1\n2=2\n";
    const auto many = ParseLayoutFile(lines);
    ASSERT_TRUE(many);
    EXPECT_EQ(many->size(), 3);
    const QByteArray one = "[DTFormatInfo]\nhigh=1\n[strFieldName]\n0=" + QByteArray(10 * 1024 * 1024, '[');
    const auto longLine = ParseLayoutFile(one);
    ASSERT_TRUE(longLine);
    EXPECT_EQ(longLine->at(0).FieldName.size(), 10 * 1024 * 1024);
    EXPECT_FALSE(ParseLayoutFile(QByteArray(10 * 1024 * 1024, '\xFF')));
}
