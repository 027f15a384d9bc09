#include "forms/wnBase.h"
#include "plugin/untClassRegist.h"
#include "toolkit/SysUtils.h"
#include <gtest/gtest.h>
#include <QTimer>

namespace {

class TRegTestWindow : public TfrmBase {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TRegTestWindow(TComponent* AOwner) : TfrmBase(AOwner) {}
};

class TRegTestChild : public TRegTestWindow {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TRegTestChild(TComponent* AOwner) : TRegTestWindow(AOwner) {}
};

struct Registry : ::testing::Test {
    void SetUp() override { untClassRegist_Initialize(); }
    void TearDown() override { untClassRegist_Finalize(); }
    static int Registered() { return int(ClassRegistry->Groups.first()->Classes.size()); }
};

}  // namespace

TEST_F(Registry, RegistersTheWholeAncestryOnceAndFindsItInAnyCase)
{
    RegisterWindowClass<TRegTestChild>();
    const QList<TClass> expected{&TRegTestChild::staticMetaObject, &TRegTestWindow::staticMetaObject,
                                 &TfrmBase::staticMetaObject, &TForm::staticMetaObject,
                                 &TWinControl::staticMetaObject, &TControl::staticMetaObject,
                                 &TComponent::staticMetaObject, &TPersistent::staticMetaObject};
    EXPECT_EQ(ClassRegistry->Groups.first()->Classes, expected);
    EXPECT_EQ(FindRegisteredClass(QStringLiteral("tregtestchild")), &TRegTestChild::staticMetaObject);
    EXPECT_EQ(FindRegisteredClass(QStringLiteral("TFRMBASE")), &TfrmBase::staticMetaObject);
    EXPECT_EQ(FindRegisteredClass(QStringLiteral("QObject")), nullptr);   // the walk stops at the root
    EXPECT_EQ(FindRegisteredClass(QStringLiteral("TNope")), nullptr);

    // Again, and a sibling branch: the walk stops at the first registered ancestor.
    RegisterWindowClass<TRegTestChild>();
    EXPECT_EQ(Registered(), 8);
    RegisterWindowClass<TRegTestWindow>();
    EXPECT_EQ(Registered(), 8);
}

TEST_F(Registry, SameNameFromAnotherClassIsAFilerError)
{
    RegisterWindowClass<TRegTestWindow>();
    // A distinct class identity carrying the same name.
    static const QMetaObject impostor = TRegTestWindow::staticMetaObject;
    try {
        RegisterWindowClass(&impostor);
        FAIL() << "no error";
    } catch (const EFilerError& e) {
        EXPECT_EQ(e.Message(), SDuplicateClassMessage(QStringLiteral("TRegTestWindow")));
    }
    EXPECT_EQ(FindRegisteredClass(QStringLiteral("TRegTestWindow")), &TRegTestWindow::staticMetaObject);
    // The lock was given back: the registry still answers.
    RegisterWindowClass<TRegTestChild>();
    EXPECT_NE(FindRegisteredClass(QStringLiteral("TRegTestChild")), nullptr);
}

TEST_F(Registry, ClassOutsideEveryGroupIsIgnored)
{
    RegisterWindowClass(&QTimer::staticMetaObject);
    EXPECT_EQ(Registered(), 0);
    EXPECT_EQ(FindRegisteredClass(QStringLiteral("QTimer")), nullptr);
}

TEST(RegGroups, MostSpecificGroupWinsAndTiesGoToTheLaterGroup)
{
    TRegGroups groups;
    auto* persistent = new TRegGroup(&TPersistent::staticMetaObject);
    auto* forms = new TRegGroup(&TForm::staticMetaObject);
    auto* persistent2 = new TRegGroup(&TPersistent::staticMetaObject);
    groups.Groups = {persistent, forms, persistent2};
    EXPECT_EQ(groups.FindGroupFor(&TfrmBase::staticMetaObject), forms);
    EXPECT_EQ(groups.FindGroupFor(&TComponent::staticMetaObject), persistent2);
    EXPECT_EQ(groups.FindGroupFor(&QTimer::staticMetaObject), nullptr);

    forms->BaseClasses.append(&TComponent::staticMetaObject);
    EXPECT_EQ(forms->MostSpecificBase(&TfrmBase::staticMetaObject), &TForm::staticMetaObject);
    EXPECT_EQ(forms->MostSpecificBase(&TControl::staticMetaObject), &TComponent::staticMetaObject);

    groups.Register(&TfrmBase::staticMetaObject);
    EXPECT_TRUE(forms->Contains(&TfrmBase::staticMetaObject));
    EXPECT_TRUE(groups.IsRegistered(&TfrmBase::staticMetaObject));
    forms->Enabled = false;
    EXPECT_EQ(groups.Lookup(QStringLiteral("TfrmBase")), nullptr);
    forms->Enabled = true;
    forms->Aliases.append({QStringLiteral("RootWindow"), &TfrmBase::staticMetaObject});
    EXPECT_EQ(groups.Lookup(QStringLiteral("rootwindow")), &TfrmBase::staticMetaObject);
}

#include "test_ClassRegist.moc"
