#include "forms/wnBsTrvTC.h"
#include "plugin/untObjectFactory.h"
#include "tests/forms/WindowFixture.h"
#include "toolkit/ComCtrls.h"
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QSettings>
#include <QSplitter>

using windowtest::ctl;

namespace {

QStringList MenuBar(QMainWindow& w)
{
    QStringList out;
    for (QAction* a : w.menuBar()->actions())
        out.append(a->text());
    return out;
}

}  // namespace

TEST(ChildWindowBase, OpensAsMdiChildMergesItsMenusAndFreesItselfOnClose)
{
    windowtest::HostFixture host;
    QPointer<TfrmBsTrvTC> w =
        qobject_cast<TfrmBsTrvTC*>(TObjectFactory::CreateComponent(&host.app, &TfrmBsTrvTC::staticMetaObject));
    ASSERT_TRUE(w);
    EXPECT_TRUE(w->CreatedAsMDIChild());
    EXPECT_FALSE(w->Visible());   // the toolkit's show at the end of creation is suppressed
    EXPECT_EQ(w->FModalShow, 0);
    EXPECT_EQ(w->WindowState(), wsNormal);
    EXPECT_EQ(w->MdiFrame()->mdiArea(), host.area);
    EXPECT_FALSE(MenuBar(host.window).contains(QStringLiteral("辅助功能(&S)")));

    w->Show();
    windowtest::Spin();
    EXPECT_TRUE(w->Visible());
    EXPECT_EQ(MenuBar(host.window).mid(MenuBar(host.window).size() - 2),
              (QStringList{"辅助功能(&S)", "数据操作(&P)"}));
    // The tree on the left, the upper and lower areas on the right.
    EXPECT_EQ(ctl<QSplitter>(w, "Splitter1")->widget(0), ctl<QFrame>(w, "pnlLeft"));
    EXPECT_EQ(ctl<QSplitter>(w, "Splitter2")->widget(1), ctl<QFrame>(w, "pnlBBotton"));
    EXPECT_EQ(ctl<QFrame>(w, "pnlTopMessage")->height(), 23);
    EXPECT_EQ(ctl<QFrame>(w, "pnlBottonMessage")->height(), 22);
    EXPECT_EQ(ctl<TTreeView>(w, "trvList")->parentWidget(), ctl<QFrame>(w, "pnlLeft"));

    w->Close();
    windowtest::Spin();
    EXPECT_TRUE(w.isNull());
    EXPECT_FALSE(MenuBar(host.window).contains(QStringLiteral("数据操作(&P)")));
    EXPECT_TRUE(host.area->subWindowList().isEmpty());
}

TEST(ChildWindowBase, AMaximisedFrameComesBackMaximisedAndKeepsItsNormalPlace)
{
    windowtest::HostFixture host;
    QSettings s(QStringLiteral("Veltrane"), QStringLiteral("bVeltrane"));
    s.setValue(QStringLiteral("geometry"), QRect(20, 30, 400, 300));
    const auto open = [&] {
        auto* w = qobject_cast<TfrmBsTrvTC*>(TObjectFactory::CreateComponent(&host.app, &TfrmBsTrvTC::staticMetaObject));
        w->Show();
        windowtest::Spin();
        w->RestoreFrameState(s);
        windowtest::Spin();
        return w;
    };
    TfrmBsTrvTC* w = open();
    EXPECT_EQ(w->Frame()->geometry(), QRect(20, 30, 400, 300));
    w->SetWindowState(wsMaximized);
    windowtest::Spin();
    w->SaveFrameState(s);
    w->Close();
    windowtest::Spin();
    EXPECT_EQ(s.value(QStringLiteral("geometry")).toRect(), QRect(20, 30, 400, 300));
    w = open();
    EXPECT_TRUE(w->Frame()->isMaximized());
    w->Close();
    windowtest::Spin();
}

TEST(ChildWindowBase, NeedsTheHostsMdiArea)
{
    TApplication bare;   // no main window: no MDI area to live in
    EXPECT_THROW(TObjectFactory::CreateComponent(&bare, &TfrmBsCld::staticMetaObject), Exception);
}
