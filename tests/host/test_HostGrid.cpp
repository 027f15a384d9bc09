// The record grid's filter, keys and copying through the real host and module.
#include "tests/host/HostProcess.h"
#include <QRegularExpression>
#include <QSet>
#include <algorithm>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace hostproc;

namespace {

// The lines after the one that reads marker, up to the next "--" marker line.
QStringList After(const QStringList& lines, const QString& marker)
{
    QStringList out;
    qsizetype at = lines.indexOf(marker);
    if (at < 0)
        return out;
    for (++at; at < lines.size() && !lines[at].startsWith(QStringLiteral("--")); ++at)
        out << lines[at];
    return out;
}

// One column of what `cells` printed after marker, by the column's name, a row each.
QStringList Column(const QStringList& lines, const QString& marker, const QString& name)
{
    const QStringList cells = After(lines, marker);
    const qsizetype at = cells.value(0).split(QLatin1Char('\t')).indexOf(name);
    QStringList out;
    for (qsizetype i = 1; at >= 0 && i < cells.size(); ++i)
        out << cells[i].split(QLatin1Char('\t')).value(at);
    return out;
}

}  // namespace

TEST(HostGrid, FilterKeysAndCopyReachTheGridAsAUsersDo)
{
    QTemporaryDir dir;
    const QString db = dir.filePath(QStringLiteral("grid.sqlite"));
    ASSERT_TRUE(CreateDemo(db));
    const QString confirmed = QStringLiteral("sql select count(*) from BusiBudgetAdj where status='1'\n");
    const QString script = QStringLiteral("open\nmode detail\necho --before\n") + confirmed +
                           QStringLiteral("echo --filter\nfilter iname 经费\necho --grid\ngrid\n"
                                          "key Ctrl+A\nkey Space\necho --cells\ncells\n"
                                          "echo --copy\ncopy\necho --invalid\nfilter budgmoney >=abc\n"
                                          "press tbtnConfirm\necho --after\n") +
                           confirmed + QStringLiteral("echo --end\nfilter iname\nfilter nosuch x\n");
    const Result r = Script(db, script);
    EXPECT_EQ(r.code, 1);   // the last line names a column the grid does not have
    EXPECT_TRUE(r.err.contains(QStringLiteral("nosuch"))) << qPrintable(r.err);
    const QStringList lines = r.lines();

    // filter prints how many rows are shown, the totals row among them.
    const QStringList shownLine = After(lines, QStringLiteral("--filter"));
    ASSERT_EQ(shownLine.size(), 1) << qPrintable(r.out);
    const QRegularExpressionMatch m = QRegularExpression(QStringLiteral("^shown (\\d+)/(\\d+)$")).match(shownLine[0]);
    ASSERT_TRUE(m.hasMatch()) << qPrintable(shownLine[0]);
    const int shown = m.captured(1).toInt(), rows = m.captured(2).toInt();
    ASSERT_GT(shown, 1);
    ASSERT_LT(shown, rows);

    // grid lists the rows shown: each names a fund project, the totals row last.
    const QStringList grid = After(lines, QStringLiteral("--grid"));
    ASSERT_EQ(grid.size(), shown + 1) << qPrintable(r.out);
    for (int i = 1; i < shown; ++i)
        EXPECT_TRUE(grid[i].contains(QStringLiteral("经费"))) << qPrintable(grid[i]);
    EXPECT_TRUE(grid.last().contains(QStringLiteral("合计")));

    // Ctrl+A and Space ticked every shown record, not the totals row, nothing hidden.
    const QStringList cells = After(lines, QStringLiteral("--cells"));
    ASSERT_EQ(cells.size(), rows + 1);
    const int iname = int(cells[0].split(QLatin1Char('\t')).indexOf(QStringLiteral("iname")));
    ASSERT_GE(iname, 0);
    int ticked = 0;
    for (int i = 1; i <= rows; ++i) {
        const QStringList c = cells[i].split(QLatin1Char('\t'));
        const bool isTicked = c[0] == QLatin1String("True");
        ticked += isTicked;
        if (isTicked) {
            EXPECT_TRUE(c[iname].contains(QStringLiteral("经费"))) << qPrintable(cells[i]);
        }
    }
    EXPECT_EQ(ticked, shown - 1);

    // copy prints what it put on the clipboard: captions, then the selected rows.
    const QStringList copy = After(lines, QStringLiteral("--copy"));
    ASSERT_EQ(copy.size(), shown + 1) << qPrintable(r.out);
    EXPECT_TRUE(copy[0].startsWith(QStringLiteral("编号\t预算编码\t单位名称"))) << qPrintable(copy[0]);
    EXPECT_TRUE(copy.last().startsWith(QStringLiteral("合计\t"))) << qPrintable(copy.last());

    // A range that is none is reported and filters nothing more.
    EXPECT_EQ(After(lines, QStringLiteral("--invalid")).value(0), QStringLiteral("invalid budgmoney >=abc"));
    EXPECT_EQ(After(lines, QStringLiteral("--invalid")).value(1), QStringLiteral("shown %1/%2").arg(shown).arg(rows));

    // Confirming sent the ticked records only.
    const int before = After(lines, QStringLiteral("--before")).value(0).toInt();
    EXPECT_EQ(After(lines, QStringLiteral("--after")).value(0).toInt(), before + ticked) << qPrintable(r.out);
    // An empty text clears the condition.
    const QStringList end = After(lines, QStringLiteral("--end"));
    ASSERT_GE(end.size(), 1) << qPrintable(r.out);
    EXPECT_TRUE(end[0].startsWith(QStringLiteral("shown "))) << qPrintable(end[0]);
    const QStringList counts = end[0].mid(6).split(QLatin1Char('/'));
    EXPECT_EQ(counts.value(0), counts.value(1));
}

// What a user meets on a desktop: the window maximised and restored by its
// title-bar buttons, the wheel over the grid, and clicks on tick boxes where
// the user sees them. The record beside a ticked box is the one confirmed.
TEST(HostGrid, ATickClickedAfterMaximiseRestoreAndWheelIsThatRowsRecord)
{
    QTemporaryDir dir;
    const QString db = dir.filePath(QStringLiteral("desk.sqlite"));
    ASSERT_TRUE(CreateDemo(db, 3000));
    const Result r = Script(db, QStringLiteral(
        "open\nselect 101001\nmode detail\necho --cells\ncells\necho --end\n"
        "echo --before\nsql select BudgId from BusiBudgetAdj where status='1' order by BudgId\necho --end\n"
        "window maximized\nwindow normal\nwindow maximized\nclick 2 chk\n"
        "window normal\nwheel -3\necho --down\ntoprow\nwheel 3\necho --up\ntoprow\n"
        "window maximized\nclick 12 chk\nwindow normal\nclick 30 chk\nclick 30 chk\n"
        "echo --status\nstatus\npress tbtnConfirm\n"
        "echo --confirmed\nsql select BudgId from BusiBudgetAdj where status='1' order by BudgId\necho --end\n"));
    ASSERT_EQ(r.code, 0) << qPrintable(r.err);
    const QStringList lines = r.lines();
    const QStringList ids = Column(lines, QStringLiteral("--cells"), QStringLiteral("budgid"));
    ASSERT_GT(ids.size(), 31) << qPrintable(r.out);
    const QString second = ids[2];
    const QString thirteenth = ids[12];

    // Three notches down scroll the rows; three up bring the first back.
    const QStringList down = After(lines, QStringLiteral("--down"));
    ASSERT_EQ(down.size(), 1);
    EXPECT_NE(down[0], QStringLiteral("toprow 0")) << qPrintable(r.out);
    EXPECT_EQ(After(lines, QStringLiteral("--up")), QStringList{QStringLiteral("toprow 0")});

    EXPECT_TRUE(After(lines, QStringLiteral("--status")).value(0).contains(QStringLiteral("已选 2 条")))
        << qPrintable(r.out);
    QStringList expected{second, thirteenth};
    std::sort(expected.begin(), expected.end(), [](const QString& a, const QString& b) { return a.toInt() < b.toInt(); });
    QStringList confirmed = After(lines, QStringLiteral("--confirmed"));
    for (const QString& before : After(lines, QStringLiteral("--before")))
        confirmed.removeOne(before);
    confirmed.removeIf([](const QString& l) { return l.startsWith(QStringLiteral("message ")); });
    EXPECT_EQ(confirmed, expected) << qPrintable(r.out);
}

// The top node: every unit the tree lists under it. 刷新: what others wrote since.
TEST(HostGrid, TheTopNodeCoversTheListedUnitsAndRefreshShowsOthersWrites)
{
    QTemporaryDir dir;
    const QString db = dir.filePath(QStringLiteral("top.sqlite"));
    ASSERT_TRUE(CreateDemo(db, 3000));
    const Result r = Script(db, QStringLiteral(
        "open\ntree\nselect top\nmode detail\necho --cells\ncells\necho --end\n"
        "sql update BusiBudgetAdj set BudgMoney=4321.5 where BudgId=(select min(BudgId) from BusiBudgetAdj where status='0' and BType='1' and datayear=2024 and deptclass='2' and eid like '102%')\n"
        "refresh\necho --again\ncells\necho --end\n"));
    ASSERT_EQ(r.code, 0) << qPrintable(r.err);
    const QStringList lines = r.lines();
    QStringList listed;   // the tree's first level under 预算单位
    for (const QString& l : lines)
        if (l.startsWith(QStringLiteral("  ")) && !l.startsWith(QStringLiteral("   ")))
            listed << l.trimmed().section(QLatin1Char(' '), 0, 0);
    ASSERT_GE(listed.size(), 2) << qPrintable(r.out);
    QSet<QString> first;
    for (const QString& eid : Column(lines, QStringLiteral("--cells"), QStringLiteral("eid")))
        if (!eid.isEmpty())
            first << eid.left(3);
    EXPECT_EQ(first, QSet<QString>(listed.begin(), listed.end()));
    const QString changed = QStringLiteral("4321.5");
    EXPECT_FALSE(Column(lines, QStringLiteral("--cells"), QStringLiteral("budgmoney")).contains(changed));
    EXPECT_TRUE(Column(lines, QStringLiteral("--again"), QStringLiteral("budgmoney")).contains(changed))
        << "refresh did not show the change";
}
