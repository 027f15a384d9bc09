#include "forms/bwnVeltrane.h"
#include "tests/forms/WindowFixture.h"
#include "toolkit/ComCtrls.h"
#include "toolkit/NextGrid.h"
#include "tree/untDynamicTree.h"
#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QTest>
#include <QToolButton>

using windowtest::ctl;
using windowtest::HostFixture;
using windowtest::Spin;
using windowtest::Window;
using windowtest::WaitIdle;

namespace {

QString SelectedUnit(TbfrmVeltrane* w)
{
    TTreeNode* node = ctl<TTreeView>(w, "trvList")->Selected();
    auto* info = node ? static_cast<TItemInfo*>(node->Data()) : nullptr;
    return info ? info->Id : QString();
}

// What an input method hands over when the user has composed a word.
void Type(QWidget* target, const QString& text)
{
    QTest::sendKeyEvent(QTest::Click, target, Qt::Key_unknown, text, Qt::NoModifier);
}

void Enter(TbfrmVeltrane* w)
{
    QTest::keyClick(ctl<QLineEdit>(w, "edtFind"), Qt::Key_Return);
    WaitIdle(w);   // the records of the unit selected
}

// As the host's find command asks it.
TResult<QString> Ask(TbfrmVeltrane* w, const QString& text, bool next)
{
    IVeltraneWindow* window = qobject_cast<IVeltraneWindow*>(w);
    if (!window)
        return TError{QStringLiteral("no host interface")};
    std::optional<TResult<QString>> found;
    window->FindUnit(text, next, [&found](TResult<QString> r) { found = std::move(r); });
    WaitIdle(w);   // the search, and the records of the unit selected
    if (!found)
        return TError{QStringLiteral("the search never answered")};
    return *found;
}

QString Invoke(TbfrmVeltrane* w, const QString& text, bool next)
{
    const TResult<QString> found = Ask(w, text, next);
    EXPECT_TRUE(found) << qPrintable(found.Error().Message);
    return found ? found.Value() : QString();
}

}  // namespace

TEST(FindUnit, CtrlFOpensTheBarAndEnterSelectsEachMatchWithItsRecords)
{
    HostFixture host(300);
    Window win(host);
    TbfrmVeltrane* w = win.w;
    host.window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&host.window));
    EXPECT_FALSE(ctl<QFrame>(w, "pnlFind")->isVisible());

    // From the grid, with the tree pane closed: the pane comes back with the bar.
    ctl<QToolButton>(w, "sbtnHindUT")->click();
    win.grid()->setFocus();
    QTest::keyClick(win.grid(), Qt::Key_F, Qt::ControlModifier);
    ASSERT_TRUE(ctl<QFrame>(w, "pnlFind")->isVisible());
    EXPECT_TRUE(ctl<QFrame>(w, "pnlLeft")->isVisible());
    EXPECT_TRUE(ctl<QAction>(w, "mnuShowUT")->isChecked());
    // The filters with it, and the strip that stood in for the pane gone.
    EXPECT_FALSE(ctl<QFrame>(w, "pnlFilterStrip")->isVisible());
    EXPECT_EQ(ctl<QFrame>(w, "Panel2")->parentWidget(), ctl<QFrame>(w, "Panel1"));
    EXPECT_TRUE(ctl<QLineEdit>(w, "edtFind")->hasFocus());
    EXPECT_EQ(ctl<QLineEdit>(w, "edtFind")->placeholderText(), QStringLiteral("单位编码或名称"));
    EXPECT_LE(ctl<QFrame>(w, "pnlFind")->geometry().bottom(), ctl<TTreeView>(w, "trvList")->geometry().top());

    // By name, then on through the matches in tree order and round again.
    Type(ctl<QLineEdit>(w, "edtFind"), QStringLiteral("职业"));
    const QStringList expected{QStringLiteral("101004"), QStringLiteral("101004001"), QStringLiteral("101004002"),
                               QStringLiteral("101004")};
    for (const QString& eid : expected) {
        const int reloads = win.reloads();
        Enter(w);
        EXPECT_EQ(SelectedUnit(w), eid);
        EXPECT_EQ(w->UnitCode(), eid);
        EXPECT_EQ(win.reloads(), reloads + 1) << eid.toStdString();
        EXPECT_TRUE(w->LastRecordSQL().contains(QStringLiteral("eid like '") + eid + QStringLiteral("%'")));
        EXPECT_FALSE(ctl<QLabel>(w, "lblFind")->isVisible());
    }
    // The grid shows the unit's records, a totals row after them.
    ASSERT_GT(win.rows(), 1);
    for (int r = 0; r + 1 < win.rows(); ++r)
        EXPECT_EQ(win.cell("eid", r), QStringLiteral("101004")) << r;
    EXPECT_TRUE(ctl<QLineEdit>(w, "edtFind")->hasFocus());

    // A new text, typed over the old one, starts again; 下一个 does what Enter does.
    ctl<QLineEdit>(w, "edtFind")->selectAll();
    QTest::keyClicks(ctl<QLineEdit>(w, "edtFind"), QStringLiteral("10100"));
    Enter(w);
    EXPECT_EQ(SelectedUnit(w), QStringLiteral("101001"));
    ctl<QToolButton>(w, "tbtnFindNext")->click();
    WaitIdle(w);
    EXPECT_EQ(SelectedUnit(w), QStringLiteral("101002"));

    // Nothing found: said in the bar, no message box, the unit stays.
    ctl<QLineEdit>(w, "edtFind")->selectAll();
    Type(ctl<QLineEdit>(w, "edtFind"), QStringLiteral("没有这个单位"));
    const int reloads = win.reloads();
    Enter(w);
    EXPECT_TRUE(ctl<QLabel>(w, "lblFind")->isVisible());
    EXPECT_EQ(ctl<QLabel>(w, "lblFind")->text(), QStringLiteral("没有找到匹配的单位"));
    EXPECT_TRUE(host.messages.empty());
    EXPECT_EQ(SelectedUnit(w), QStringLiteral("101002"));
    EXPECT_EQ(win.reloads(), reloads);
    // Typing again takes the notice away.
    QTest::keyClick(ctl<QLineEdit>(w, "edtFind"), Qt::Key_Backspace);
    EXPECT_FALSE(ctl<QLabel>(w, "lblFind")->isVisible());

    // Esc closes the bar and leaves the focus on the tree; Ctrl+F there opens it again.
    QTest::keyClick(ctl<QLineEdit>(w, "edtFind"), Qt::Key_Escape);
    EXPECT_FALSE(ctl<QFrame>(w, "pnlFind")->isVisible());
    EXPECT_TRUE(ctl<TTreeView>(w, "trvList")->hasFocus());
    QTest::keyClick(ctl<TTreeView>(w, "trvList"), Qt::Key_F, Qt::ControlModifier);
    EXPECT_TRUE(ctl<QFrame>(w, "pnlFind")->isVisible());
    EXPECT_EQ(ctl<QLineEdit>(w, "edtFind")->selectedText(), ctl<QLineEdit>(w, "edtFind")->text());
}

TEST(FindUnit, ThroughTheHostInterfaceWithUnsafeTextsAfterTheTreeChangesAndWhenTheSearchFails)
{
    HostFixture host(300);
    Window win(host);
    TbfrmVeltrane* w = win.w;
    EXPECT_EQ(Invoke(w, QStringLiteral("市第二中学"), false), QStringLiteral("101003"));
    EXPECT_EQ(w->UnitCode(), QStringLiteral("101003"));
    // The bar shows the script's text, so that Enter there goes on from it.
    EXPECT_EQ(ctl<QLineEdit>(w, "edtFind")->text(), QStringLiteral("市第二中学"));

    host.ClearSent();
    for (const char* text : {"'", "%", "_", "101' or '1'='1", "!"})
        EXPECT_EQ(Invoke(w, QString::fromUtf8(text), false), QString()) << text;
    EXPECT_EQ(ctl<QLabel>(w, "lblFind")->text(), QStringLiteral("没有找到匹配的单位"));
    EXPECT_EQ(w->UnitCode(), QStringLiteral("101003"));
    EXPECT_TRUE(host.Sent(QStringLiteral("select 0 as chk")).isEmpty());
    EXPECT_EQ(host.Scalar(QStringLiteral("select count(*) from pubdept where useflag='0'")), QStringLiteral("26"));

    // A unit the delegated view leaves out is found once every unit is listed,
    // also when asked for the next match of the same text.
    EXPECT_EQ(Invoke(w, QStringLiteral("商贸"), false), QString());
    ctl<TRadioGroup>(w, "rgpShowEid")->Item(1)->click();
    EXPECT_EQ(Invoke(w, QStringLiteral("商贸"), true), QStringLiteral("101004003"));
    EXPECT_EQ(SelectedUnit(w), QStringLiteral("101004003"));

    // A search the database refuses is a failure, not "no such unit".
    host.Exec(QStringLiteral("alter table pubdept rename to pubdept_gone"));
    const TResult<QString> failed = Ask(w, QStringLiteral("市第二中学"), false);
    ASSERT_FALSE(failed);
    EXPECT_TRUE(failed.Error().Message.startsWith(QStringLiteral("查找失败："))) << qPrintable(failed.Error().Message);
    EXPECT_EQ(ctl<QLabel>(w, "lblFind")->text(), failed.Error().Message);
}

TEST(FindUnit, AnOperatorOfASingleUnitCannotReachOtherUnits)
{
    HostFixture host(300);
    host.unit.SetField(0, QString::fromLatin1(DemoSingleUnit));
    Window win(host);
    TbfrmVeltrane* w = win.w;
    ASSERT_TRUE(ctl<TTreeView>(w, "trvList")->isHidden());
    const QString unit = w->UnitCode();
    host.window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&host.window));
    win.grid()->setFocus();
    QTest::keyClick(win.grid(), Qt::Key_F, Qt::ControlModifier);
    EXPECT_FALSE(ctl<QFrame>(w, "pnlFind")->isVisible());
    // The hidden tree still holds the parent unit 104.
    EXPECT_EQ(Invoke(w, QStringLiteral("市档案馆"), false), QString());
    EXPECT_EQ(w->UnitCode(), unit);
}
