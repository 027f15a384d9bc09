#include "budget/gunLookupLists.h"
#include "tests/forms/WindowFixture.h"
#include <QComboBox>

namespace {

QStringList Items(const QComboBox& box)
{
    QStringList out;
    for (int i = 0; i < box.count(); ++i)
        out.append(box.itemText(i));
    return out;
}

}  // namespace

TEST(LookupLists, SecretListStartsFromTheUnitsFlag)
{
    windowtest::HostFixture host;
    QComboBox box;
    int changes = 0;
    QObject::connect(&box, &QComboBox::currentIndexChanged, [&] { ++changes; });

    const QVariant flags[] = {QVariant(), QStringLiteral("0"), QStringLiteral("1"), QStringLiteral(" 1"), 1};
    const int expected[] = {0, 0, 1, 0, 1};
    for (int i = 0; i < 5; ++i) {
        host.unit.SetField(17, flags[i]);
        FillSecretList(&box, true, host.Context().UnitSecretFlag);
        EXPECT_EQ(box.currentIndex(), expected[i]) << i;
    }
    EXPECT_EQ(Items(box), (QStringList{"密", "非密", "<全部>"}));   // filled five times, one copy
    FillSecretList(&box, false, host.Context().UnitSecretFlag);
    EXPECT_EQ(Items(box), (QStringList{"密", "非密"}));
    EXPECT_EQ(changes, 0);

    // Without a unit record the box starts on the first entry.
    host.pub.UnitRecord = nullptr;
    FillSecretList(&box, false, host.Context().UnitSecretFlag);
    EXPECT_EQ(box.currentIndex(), 0);
}

TEST(LookupLists, BudgetTypeListFollowsTheDefaultType)
{
    windowtest::HostFixture host;
    QComboBox box;
    int changes = 0;
    QObject::connect(&box, &QComboBox::currentIndexChanged, [&] { ++changes; });

    host.params.DefaultBType = 2;
    FillBudgetTypeList(&box, false, true, host.Context().DefaultBType);
    EXPECT_EQ(Items(box), (QStringList{"控制数", "预算数", "临时指标"}));
    EXPECT_EQ(box.currentText(), QStringLiteral("临时指标"));
    EXPECT_EQ(QString::number(box.currentIndex()), QStringLiteral("2"));

    // The temporary type is missing: fall back to the first entry.
    FillBudgetTypeList(&box, false, false, host.Context().DefaultBType);
    EXPECT_EQ(Items(box), (QStringList{"控制数", "预算数"}));
    EXPECT_EQ(box.currentText(), QStringLiteral("控制数"));
    host.params.DefaultBType = 1;
    FillBudgetTypeList(&box, false, false, host.Context().DefaultBType);
    EXPECT_EQ(box.currentText(), QStringLiteral("预算数"));

    // "<全部>" counts as the first index.
    FillBudgetTypeList(&box, true, true, host.Context().DefaultBType);
    EXPECT_EQ(Items(box), (QStringList{"<全部>", "控制数", "预算数", "临时指标"}));
    EXPECT_EQ(box.currentText(), QStringLiteral("控制数"));

    // A default the list cannot show selects the first entry instead of nothing.
    host.params.DefaultBType = 7;
    FillBudgetTypeList(&box, false, true, host.Context().DefaultBType);
    EXPECT_EQ(box.currentIndex(), 0);
    host.params.DefaultBType = -1;
    FillBudgetTypeList(&box, false, true, host.Context().DefaultBType);
    EXPECT_EQ(box.currentIndex(), 0);
    EXPECT_EQ(changes, 0);
}
