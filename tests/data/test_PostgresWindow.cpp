// The confirmation window on a PostgreSQL database: tree, both views, confirm,
// cancel, and a load that meets a connection the server dropped.
#include "forms/bwnVeltrane.h"
#include "records/untRecordSql.h"
#include "plugin/untObjectFactory.h"
#include "tests/data/PgServer.h"
#include "tests/forms/WindowFixture.h"
#include "toolkit/ComCtrls.h"
#include "toolkit/NextGrid.h"
#include <QAction>
#include <QPointer>
#include <QRadioButton>
#include <QToolButton>

using windowtest::ctl;
using windowtest::HostFixture;
using windowtest::Spin;
using windowtest::Window;

namespace {

// The window test host with "Def" on the server database (or, for the
// comparison, on the host's own SQLite file).
struct ServerHost {
    explicit ServerHost(int records, bool onServer = true) : host(onServer ? -1 : records)
    {
        if (!onServer)
            return;
        if (!server.Skip.empty())
            return;
        QString error;
        created = CreateDemoDatabaseAt(server.ConnectionString, records, &error);
        EXPECT_TRUE(created) << error.toStdString();
        host.db.ConnectionString = server.ConnectionString;
    }
    pgtest::Database server;
    bool created = false;
    HostFixture host;
};


// What the window shows: the tree's captions, then each view's rows.
QStringList Shown(Window& win)
{
    QStringList out;
    for (QTreeWidgetItemIterator it(win.tree()); *it; ++it)
        out << (*it)->text(0);
    for (QRadioButton* view : {ctl<QRadioButton>(win, "rbtnDetail"), ctl<QRadioButton>(win, "rbtnSum")}) {
        view->click();
        win.idle();
        out << QStringLiteral("rows %1").arg(win.rows());
        if (win.rows() > 0)
            out << win.cell("budgmoney", win.rows() - 1);   // the totals row
    }
    return out;
}

}  // namespace

TEST(PostgresWindow, ShowsWhatItShowsOnSQLite)
{
    auto holder = std::make_unique<ServerHost>(400);
    ServerHost& pg = *holder;
    if (!pg.server.Skip.empty())
        GTEST_SKIP() << pg.server.Skip;
    ASSERT_TRUE(pg.created);
    QStringList onServer, onSqlite;
    {
        Window win(pg.host);
        onServer = Shown(win);
    }
    holder.reset();
    {
        // Made after the server's window is gone: a host makes its globals current.
        ServerHost lite(400, false);
        Window win(lite.host);
        onSqlite = Shown(win);
    }
    ASSERT_GT(onServer.size(), 4);
    EXPECT_EQ(onServer, onSqlite);
}

TEST(PostgresWindow, ConfirmAndCancel)
{
    ServerHost pg(300);
    if (!pg.server.Skip.empty())
        GTEST_SKIP() << pg.server.Skip;
    HostFixture& host = pg.host;
    Window win(host);
    ctl<QRadioButton>(win, "rbtnDetail")->click();
    win.idle();
    ASSERT_GT(win.rows(), 3);
    const QString a = win.cell("budgid", 0), b = win.cell("budgid", 2);
    ASSERT_TRUE(win.grid()->UserToggleCheck(0, 0));
    ASSERT_TRUE(win.grid()->UserToggleCheck(0, 2));
    const int before = win.rows();
    ctl<QToolButton>(win, "tbtnConfirm")->click();
    win.idle();
    EXPECT_EQ(win.rows(), before - 2);
    EXPECT_EQ(host.Scalar(QStringLiteral("select count(*) from BusiBudgetAdj where datayear=2024 and status='1'"
                                         " and BudgId in (%1,%2)").arg(a, b)),
              QStringLiteral("2"));

    // Back by the summary row of the key, from the confirmed view.
    ctl<QRadioButton>(win, "rbtnSum")->click();
    win.idle();
    ctl<QRadioButton>(win, "rbtnOK")->click();
    win.idle();
    ASSERT_GT(win.rows(), 1);
    ASSERT_TRUE(win.grid()->UserToggleCheck(0, 0));
    const QString confirmedBefore =
        host.Scalar(QStringLiteral("select count(*) from BusiBudgetAdj where datayear=2024 and status='1'"));
    ctl<QToolButton>(win, "tbtnCancel")->click();
    win.idle();
    EXPECT_LT(host.Scalar(QStringLiteral("select count(*) from BusiBudgetAdj where datayear=2024 and status='1'"))
                  .toInt(),
              confirmedBefore.toInt());
}

TEST(PostgresWindow, ALoadAfterAServerRestartReconnectsAndAFailedLoadIsReported)
{
    ServerHost pg(200);
    if (!pg.server.Skip.empty())
        GTEST_SKIP() << pg.server.Skip;
    Window win(pg.host);
    ctl<QRadioButton>(win, "rbtnDetail")->click();
    win.idle();
    const int rows = win.rows();
    ASSERT_GT(rows, 1);
    EXPECT_TRUE(ctl<QToolButton>(win, "tbtnConfirm")->isEnabled());

    // The server dropped every session: the query is asked again on a new one.
    ASSERT_TRUE(pg.server.DropConnections());
    ctl<QRadioButton>(win, "rbtnSum")->click();
    win.idle();
    EXPECT_GT(win.rows(), 1);
    EXPECT_TRUE(ctl<QToolButton>(win, "tbtnConfirm")->isEnabled());
    EXPECT_TRUE(pg.host.messages.empty());

    // A query the server refuses is said, not shown as a grid with nothing left to confirm.
    pg.host.Scalar(QStringLiteral("select 1"));   // this thread's session comes back too
    pg.host.Exec(QStringLiteral("ALTER VIEW vwbudgetadj RENAME TO vwbudgetadj_gone"));
    ctl<QRadioButton>(win, "rbtnDetail")->click();
    win.idle();
    EXPECT_EQ(win.rows(), 0);
    EXPECT_FALSE(ctl<QToolButton>(win, "tbtnConfirm")->isEnabled());
    EXPECT_FALSE(ctl<QToolButton>(win, "tbtnCancel")->isEnabled());
    ASSERT_EQ(pg.host.messages.size(), 1u);
    EXPECT_TRUE(pg.host.messages[0].text.startsWith(QStringLiteral("提取预算指标失败："))) << qPrintable(pg.host.messages[0].text);
    EXPECT_TRUE(pg.host.messages[0].text.contains(QStringLiteral("vwbudgetadj"))) << qPrintable(pg.host.messages[0].text);

    pg.host.Exec(QStringLiteral("ALTER VIEW vwbudgetadj_gone RENAME TO vwbudgetadj"));
    ctl<QRadioButton>(win, "rbtnSum")->click();
    win.idle();
    ctl<QRadioButton>(win, "rbtnDetail")->click();
    win.idle();
    EXPECT_EQ(win.rows(), rows);
    EXPECT_TRUE(ctl<QToolButton>(win, "tbtnConfirm")->isEnabled());
}
