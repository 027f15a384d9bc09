#include "grid/untNextGridManager.h"

#include "data/untDefData.h"
#include "tests/DefConnectionScope.h"
#include "toolkit/Forms.h"
#include "toolkit/NextGrid.h"

#include "toolkit/ADODataset.h"

#include <QAbstractItemModelTester>
#include <QThread>
#include <QDir>
#include <QMainWindow>
#include <QMdiSubWindow>
#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>
#include <optional>

namespace {

const QColor kTotal(200, 200, 255);

// The host: its folder (with the layout files), its application and screen
// objects (handed to the managers) and a "Def" connection on a SQLite file.
struct Host {
    QTemporaryDir dir;
    TDbManager manager;
    TApplication app;
    TScreen screen;
    std::optional<testsupport::DefConnectionScope> def;

    Host()
    {
        QFile(dir.filePath(QStringLiteral("g.db"))).open(QIODevice::WriteOnly);
        manager.ConnectionString = QStringLiteral("Provider=SQLITE;Data Source=") + dir.filePath(QStringLiteral("g.db"));
        app.SetExeName(dir.filePath(QStringLiteral("veltrane-host")));
        def.emplace(manager);
    }
    void Sql(const QString& sql) { ASSERT_TRUE(ExecDefSQL(sql)) << sql.toStdString(); }
    void WriteLayout(const QByteArray& bytes)
    {
        QFile f(dir.filePath(QStringLiteral("ngdBudgetAdj.for")));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
};

// Modelled on the detail table: check box, shown and hidden texts, a date-like
// text, two money columns and the row number last.
QList<TDTFieldType*> Definitions()
{
    return {
        NewDTFieldType(QString(), QStringLiteral("chk"), 1, 2, 20, 0, 1),
        NewDTFieldType(QStringLiteral("状态"), QStringLiteral("status"), 0, 1, 70, 1, 1),
        NewDTFieldType(QStringLiteral("编号"), QStringLiteral("budgid"), 1, 1, 35, 2, 1),
        NewDTFieldType(QStringLiteral("预算编码"), QStringLiteral("eid"), 1, 1, 90, 3, 1),
        NewDTFieldType(QStringLiteral("所属处室"), QStringLiteral("burid"), 2, 1, 80, 4, 1),
        NewDTFieldType(QStringLiteral("指标金额(元)"), QStringLiteral("budgmoney"), 1, 0, 120, 5, 1),
        NewDTFieldType(QStringLiteral("指标金额(万元)"), QStringLiteral("budgmoney_wy"), 1, 0, 120, 5, 1),
        NewDTFieldType(QStringLiteral("录入日期"), QStringLiteral("inputdate"), 1, 3, 90, 6, 1),
        NewDTFieldType(QStringLiteral("序号"), QStringLiteral("NumId"), 1, 1, 80, 7, 0),
    };
}

const QString kRecords = QStringLiteral(
    "select '' as chk, status, budgid, eid, burid, budgmoney, budgmoney_wy, inputdate, '' as NumId "
    "from rec order by budgid");

void ThreeRecords(Host& h)
{
    h.Sql(QStringLiteral("create table rec(budgid text, status text, eid text, burid text, budgmoney real, "
                         "budgmoney_wy real, inputdate text, extra text)"));
    h.Sql(QStringLiteral("insert into rec values('1','0','101001','03',1.5,0.00015,'2024-01-02','e1')"));
    h.Sql(QStringLiteral("insert into rec values('2','0',null,'04',2.25,0.000225,'2024-01-03','e2')"));
    h.Sql(QStringLiteral("insert into rec values('3','1','101003','05',null,null,null,'e3')"));
}

QStringList Column(TNextGrid& g, int col)
{
    QStringList out;
    for (int r = 0; r < g.RowCount(); ++r)
        out << g.Cells(col, r);
    return out;
}

}  // namespace

TEST(NextGridManager, ColumnsFollowTheDefinitionsHiddenOnesIncluded)
{
    Host h;
    TNextGrid grid;
    TNextGridManager m(&h.app, Definitions(), QStringLiteral("ngdBudgetAdj"));
    EXPECT_FALSE(m.ShowTotal());
    EXPECT_FALSE(m.Loading);
    EXPECT_FALSE(m.AllowTotalEdit());
    m.CreateColumns(&grid);
    ASSERT_EQ(grid.Columns().Count(), 9);
    EXPECT_EQ(grid.Options(), TGridOptions(goHeader) | goSelectFullRow);
    EXPECT_EQ(grid.HeaderSize(), 20);
    EXPECT_EQ(grid.RowSize(), 20);
    EXPECT_EQ(grid.GridLinesColor(), clMenuBar());
    EXPECT_EQ(grid.Columns().Item(0)->Kind(), TNxColumnKind::CheckBox);
    EXPECT_EQ(grid.Columns().Item(0)->Options(),
              TColumnOptions(coCanClick) | coCanInput | coCanSort | coEditing | coPublicUsing);
    EXPECT_EQ(grid.Columns().Item(0)->Alignment(), Qt::AlignCenter);
    EXPECT_EQ(grid.Columns().Item(5)->Kind(), TNxColumnKind::Number);
    EXPECT_EQ(static_cast<TNxNumberColumn*>(grid.Columns().Item(5))->FormatMask(), QStringLiteral("#,##0.00"));
    EXPECT_EQ(grid.Columns().Item(7)->Kind(), TNxColumnKind::Text);
    EXPECT_EQ(grid.Columns().Item(2)->Name(), QStringLiteral("budgid"));
    EXPECT_EQ(grid.Columns().Item(2)->Header().Caption, QStringLiteral("编号"));
    EXPECT_EQ(grid.Columns().Item(2)->Header().Alignment, Qt::AlignCenter);
    EXPECT_EQ(grid.Columns().Item(2)->Width(), 35);
    EXPECT_FALSE(grid.Columns().Item(1)->Visible());   // ShowKind 0
    EXPECT_FALSE(grid.Columns().Item(4)->Visible());   // ShowKind 2
    EXPECT_TRUE(grid.isColumnHidden(4));
    EXPECT_TRUE(grid.Columns().Item(3)->Visible());

    // A definition of an unknown kind makes no column.
    TNextGridManager odd(&h.app, {NewDTFieldType(QStringLiteral("x"), QStringLiteral("x"), 1, 7, 10, 0, 1),
                                   NewDTFieldType(QStringLiteral("y"), QStringLiteral("y"), 1, 3, 10, 1, 1)},
                         QStringLiteral("other"));
    odd.CreateColumns(&grid);
    ASSERT_EQ(grid.Columns().Count(), 1);
    EXPECT_EQ(grid.Columns().Item(0)->Name(), QStringLiteral("y"));
}

TEST(NextGridManager, ThreeRecordsGiveRowNumbersAndATotalsRow)
{
    Host h;
    ThreeRecords(h);
    TNextGrid grid;
    TNextGridManager m(&h.app, Definitions(), QStringLiteral("ngdBudgetAdj"), &h.screen);
    m.CreateColumns(&grid);

    QSignalSpy resets(grid.Model(), &QAbstractItemModel::modelReset);
    QSignalSpy inserted(grid.Model(), &QAbstractItemModel::rowsInserted);
    std::vector<std::pair<int, int>> loaded;
    bool hourglass = true;
    m.OnRowLoaded = [&](TNextGridManager* sender, TADOQuery* fields, int rowNo, int count) {
        EXPECT_EQ(sender, &m);
        EXPECT_EQ(fields->FieldText(QStringLiteral("budgid")), QString::number(rowNo));
        EXPECT_TRUE(m.Loading);
        hourglass = hourglass && h.screen.Cursor() == crHourGlass && grid.Updating();
        loaded.emplace_back(rowNo, count);
    };
    ASSERT_TRUE(m.LoadRows(&grid, kRecords, true, false, true));

    EXPECT_EQ(loaded, (std::vector<std::pair<int, int>>{{1, 3}, {2, 3}, {3, 3}}));
    EXPECT_TRUE(hourglass);
    EXPECT_EQ(h.screen.Cursor(), crDefault);
    EXPECT_EQ(resets.count(), 1);      // one batch
    EXPECT_EQ(inserted.count(), 0);
    EXPECT_FALSE(grid.Updating());
    EXPECT_FALSE(m.Loading);
    EXPECT_TRUE(m.ShowTotal());
    EXPECT_TRUE(m.TotalRowAdded());

    ASSERT_EQ(grid.RowCount(), 4);
    EXPECT_EQ(Column(grid, 8), (QStringList{"1", "2", "3", QString()}));
    EXPECT_EQ(Column(grid, 2), (QStringList{"1", "2", "3", "合计"}));   // first shown type-1 text column
    EXPECT_EQ(grid.Cells(5, 3), QStringLiteral("3.75"));
    EXPECT_EQ(grid.DisplayText(5, 3), QStringLiteral("3.75"));
    EXPECT_EQ(grid.Cells(6, 3), QStringLiteral("0.000375"));
    for (int c = 0; c < grid.Columns().Count(); ++c)
        EXPECT_EQ(grid.CellColor(c, 3), kTotal) << c;
    EXPECT_FALSE(grid.CellColor(2, 2).isValid());
    EXPECT_EQ(grid.FooterRow(), 3);
    EXPECT_EQ(grid.SelectedRow(), 0);

    // Null is empty; hidden columns keep their values in their own cells.
    EXPECT_EQ(grid.Cells(3, 1), QString());
    EXPECT_EQ(grid.Cells(5, 2), QString());
    EXPECT_EQ(grid.Cells(7, 2), QString());
    EXPECT_EQ(Column(grid, 1), (QStringList{"0", "0", "1", QString()}));
    EXPECT_EQ(Column(grid, 4), (QStringList{"03", "04", "05", QString()}));
    EXPECT_EQ(grid.Cells(5, 0), QStringLiteral("1.5"));
    EXPECT_EQ(grid.DisplayText(5, 1), QStringLiteral("2.25"));

    // Halved totals, and a reload replaces every row.
    ASSERT_TRUE(m.LoadRows(&grid, kRecords, true, true, true));
    ASSERT_EQ(grid.RowCount(), 4);
    EXPECT_EQ(grid.Cells(5, 3), QStringLiteral("1.875"));
    EXPECT_EQ(GeneralFloatText(1.5 + 2.25), QStringLiteral("3.75"));
    EXPECT_EQ(GeneralFloatText(10.0), QStringLiteral("10"));
    EXPECT_EQ(GeneralFloatText(0.1 + 0.2), QStringLiteral("0.3"));
    EXPECT_EQ(GeneralFloatText(123456789012.345), QStringLiteral("123456789012.345"));
    EXPECT_EQ(GeneralFloatText(-0.0), QStringLiteral("0"));

    // Without numbering the last column takes its value from the query.
    ASSERT_TRUE(m.LoadRows(&grid, QStringLiteral("select budgid, budgmoney, 'n' || budgid as NumId from rec"), false, false, false));
    ASSERT_EQ(grid.RowCount(), 3);
    EXPECT_EQ(Column(grid, 8), (QStringList{"n1", "n2", "n3"}));
    EXPECT_FALSE(m.TotalRowAdded());
}

TEST(NextGridManager, TotalsRowRefusesUserTicksWhileOtherRowsAcceptThem)
{
    Host h;
    ThreeRecords(h);
    TNextGrid grid;
    grid.resize(600, 300);
    TNextGridManager m(&h.app, Definitions(), QStringLiteral("ngdBudgetAdj"));
    m.CreateColumns(&grid);
    grid.OnBeforeEdit = [](TNextGrid*, int, int, bool& accept) { accept = false; };   // replaced by the load
    ASSERT_TRUE(m.LoadRows(&grid, kRecords, true, false, true));
    grid.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&grid));

    EXPECT_FALSE(grid.UserToggleCheck(0, 3));
    EXPECT_EQ(grid.Cells(0, 3), QString());
    EXPECT_TRUE(grid.UserToggleCheck(0, 0));
    const QPoint row2 = grid.visualRect(grid.Model()->index(2, 0)).center();
    QTest::mouseClick(grid.viewport(), Qt::LeftButton, {}, row2);
    QString value;
    m.GetCellValue(&grid, 0, QStringLiteral("CHK"), value);
    EXPECT_EQ(value, QStringLiteral("True"));
    m.GetCellValue(&grid, 2, QStringLiteral("chk"), value);
    EXPECT_EQ(value, QStringLiteral("True"));
    m.GetCellValue(&grid, 1, QStringLiteral("chk"), value);
    EXPECT_EQ(value, QString());
    m.GetCellValue(&grid, 0, QStringLiteral("nosuchcolumn"), value);
    EXPECT_EQ(value, QString());
    m.GetCellValue(&grid, 0, QStringLiteral("eid"), value);
    EXPECT_EQ(value, QStringLiteral("101001"));

    // Any user edit of the totals row is refused; program writes are not.
    bool accept = true;
    m.GridBeforeEdit(&grid, 5, 3, accept);
    EXPECT_FALSE(accept);
    accept = true;
    m.GridBeforeEdit(&grid, 5, 2, accept);
    EXPECT_TRUE(accept);
    grid.SetCells(0, 3, QStringLiteral("True"));
    EXPECT_EQ(grid.Cells(0, 3), QStringLiteral("True"));
    QChar key(QLatin1Char('a'));
    m.GridKeyPress(&grid, key);
    EXPECT_EQ(key, QLatin1Char('a'));

    // A load that added no totals row leaves the last row free.
    QList<TDTFieldType*> textOnly = Definitions();
    for (TDTFieldType* d : textOnly)
        if (d->DataKind == 0)
            d->DataKind = 1;
    TNextGridManager plain(&h.app, textOnly, QStringLiteral("ngdBudgetAdj"));
    plain.CreateColumns(&grid);
    ASSERT_TRUE(plain.LoadRows(&grid, kRecords, true, false, true));
    ASSERT_EQ(grid.RowCount(), 3);
    EXPECT_TRUE(plain.ShowTotal());
    EXPECT_FALSE(plain.TotalRowAdded());
    EXPECT_TRUE(grid.UserToggleCheck(0, 2));
}

TEST(NextGridManager, EmptyFailedAndStoppedLoads)
{
    Host h;
    ThreeRecords(h);
    TNextGrid grid;
    TNextGridManager m(&h.app, Definitions(), QStringLiteral("ngdBudgetAdj"), &h.screen);
    // Fewer than 3 columns: the load makes them.
    ASSERT_TRUE(m.LoadRows(&grid, kRecords + QStringLiteral(" limit 0"), true, false, true));
    EXPECT_EQ(grid.Columns().Count(), 9);
    EXPECT_EQ(grid.RowCount(), 0);
    EXPECT_FALSE(m.TotalRowAdded());
    EXPECT_FALSE(m.Loading);
    EXPECT_EQ(h.screen.Cursor(), crDefault);

    ASSERT_TRUE(m.LoadRows(&grid, kRecords, true, false, true));
    ASSERT_EQ(grid.RowCount(), 4);
    const TResult<> failed = m.LoadRows(&grid, QStringLiteral("select * from no_such_table"), true, false, true);
    ASSERT_FALSE(failed);
    EXPECT_TRUE(failed.Error().Message.contains(QStringLiteral("no_such_table"))) << failed.Error().Message.toStdString();
    EXPECT_EQ(grid.RowCount(), 0);
    EXPECT_EQ(grid.Columns().Count(), 9);
    EXPECT_FALSE(grid.Updating());
    EXPECT_EQ(h.screen.Cursor(), crDefault);
    EXPECT_EQ(TARQuery::LiveCount(), 0);

    // A handler that clears Loading stops after its row: the rows stay, no totals.
    m.OnRowLoaded = [&](TNextGridManager* s, TADOQuery*, int rowNo, int) {
        if (rowNo == 2)
            s->Loading = false;
    };
    ASSERT_TRUE(m.LoadRows(&grid, kRecords, true, false, true));
    ASSERT_EQ(grid.RowCount(), 2);
    EXPECT_EQ(Column(grid, 8), (QStringList{"1", "2"}));
    EXPECT_FALSE(m.TotalRowAdded());
    EXPECT_FALSE(grid.Updating());
    EXPECT_EQ(h.screen.Cursor(), crDefault);
    EXPECT_EQ(grid.SelectedRow(), -1);
    EXPECT_EQ(TARQuery::LiveCount(), 0);

    // Without a screen object the load still runs.
    TNextGridManager bare(&h.app, Definitions(), QStringLiteral("ngdBudgetAdj"));
    ASSERT_TRUE(bare.LoadRows(&grid, kRecords, true, false, true));
    EXPECT_EQ(grid.RowCount(), 4);
}

TEST(NextGridManager, LoadsNeverGoPastTheDefinitions)
{
    Host h;
    ThreeRecords(h);
    TNextGrid grid;
    // Three definitions, a query of eight fields (the grid keeps its three columns).
    TNextGridManager m(&h.app, {NewDTFieldType(QString(), QStringLiteral("chk"), 1, 2, 20, 0, 1),
                        NewDTFieldType(QStringLiteral("金额"), QStringLiteral("budgmoney"), 1, 0, 80, 1, 1),
                        NewDTFieldType(QStringLiteral("序号"), QStringLiteral("NumId"), 1, 1, 40, 2, 0)},
                       QStringLiteral("ngdBudgetAdj"));
    m.CreateColumns(&grid);
    ASSERT_TRUE(m.LoadRows(&grid, QStringLiteral("select * , '' as chk, '' as NumId from rec order by budgid"), true, false, true));
    ASSERT_EQ(grid.Columns().Count(), 3);
    ASSERT_EQ(grid.RowCount(), 4);
    EXPECT_EQ(Column(grid, 1), (QStringList{"1.5", "2.25", QString(), "3.75"}));
    EXPECT_EQ(Column(grid, 2), (QStringList{"1", "2", "3", "合计"}));

    // A query lacking a definition's field leaves its cells empty.
    ASSERT_TRUE(m.LoadRows(&grid, QStringLiteral("select budgid from rec"), false, false, true));
    ASSERT_EQ(grid.RowCount(), 3);
    EXPECT_EQ(Column(grid, 1), (QStringList{QString(), QString(), QString()}));
    EXPECT_EQ(Column(grid, 2), (QStringList{"1", "2", "3"}));
}

TEST(NextGridManager, LayoutFileBesideTheHostReplacesTheDefinitionsByOrder)
{
    Host h;
    ThreeRecords(h);
    // GBK captions; definition 0 goes to position 2, 1 to 0, 2 to 1.
    const QByteArray layout = ToGbk(QStringLiteral(
        "[DTFormatInfo]\r\nhigh=2\r\n"
        "[strFieldTital]\r\n0=序号\r\n1=指标金额(元)\r\n2=预算编码\r\n"
        "[strFieldName]\r\n0=NumId\r\n1=budgmoney\r\n2=eid\r\n"
        "[xcFieldType]\r\n0=1\r\n1=1\r\n2=9\r\n"
        "[xcFieldDataType]\r\n0=1\r\n1=0\r\n2=1\r\n"
        "[intFieldLen]\r\n0=50\r\n1=120\r\n2=90\r\n"
        "[intOrder]\r\n0=2\r\n1=0\r\n2=1\r\n"));
    h.WriteLayout(layout);
    TNextGrid grid;
    TNextGridManager m(&h.app, Definitions(), QStringLiteral("ngdBudgetAdj"));
    m.CreateColumns(&grid);
    ASSERT_EQ(m.Fields().size(), 3);
    ASSERT_EQ(grid.Columns().Count(), 3);
    EXPECT_EQ(grid.Columns().Item(0)->Name(), QStringLiteral("budgmoney"));
    EXPECT_EQ(grid.Columns().Item(0)->Header().Caption, QStringLiteral("指标金额(元)"));
    EXPECT_EQ(grid.Columns().Item(0)->Kind(), TNxColumnKind::Number);
    EXPECT_EQ(grid.Columns().Item(1)->Name(), QStringLiteral("eid"));
    EXPECT_FALSE(grid.Columns().Item(1)->Visible());   // ShowKind 9 became 0
    EXPECT_EQ(grid.Columns().Item(2)->Header().Caption, QStringLiteral("序号"));
    EXPECT_EQ(grid.Columns().Item(2)->Width(), 50);
    EXPECT_EQ(m.Fields()[2]->Order, 2);
    EXPECT_EQ(m.Fields()[2]->OutputFlag, 1);

    ASSERT_TRUE(m.LoadRows(&grid, kRecords, true, false, true));
    ASSERT_EQ(grid.RowCount(), 4);
    EXPECT_EQ(Column(grid, 0), (QStringList{"1.5", "2.25", QString(), "3.75"}));
    EXPECT_EQ(Column(grid, 2), (QStringList{"1", "2", "3", "合计"}));
    // No shown type-1 text column before NumId: the label lands there.
    EXPECT_EQ(grid.Cells(1, 3), QString());
    EXPECT_EQ(grid.Cells(2, 3), QStringLiteral("合计"));
}

TEST(NextGridManager, TheLayoutFileIsTheUsersThenTheSystemsThenTheHosts)
{
    Host h;
    QTemporaryDir user, system;
    const QByteArray savedHome = qgetenv("XDG_CONFIG_HOME"), savedDirs = qgetenv("XDG_CONFIG_DIRS");
    qputenv("XDG_CONFIG_HOME", user.path().toLocal8Bit());
    qputenv("XDG_CONFIG_DIRS", system.path().toLocal8Bit());
    const QString mine = user.filePath(QStringLiteral("veltrane/g.for"));
    const QString shared = system.filePath(QStringLiteral("veltrane/g.for"));
    const QString beside = h.dir.filePath(QStringLiteral("g.for"));
    auto found = [&h] { return QDir::cleanPath(TNextGridManager(&h.app, {}, QStringLiteral("g")).LayoutFile); };
    // None yet: the user's, never the program's folder (which may be /usr/bin).
    EXPECT_EQ(found(), mine);
    // Each place wins over the ones after it.
    for (const QString& path : {beside, shared, mine}) {
        QDir().mkpath(QFileInfo(path).path());
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.close();
        EXPECT_EQ(found(), path);
    }
    qputenv("XDG_CONFIG_HOME", savedHome);
    qputenv("XDG_CONFIG_DIRS", savedDirs);
}

TEST(NextGridManager, RejectedLayoutFilesLeaveTheDefinitionsInForce)
{
    Host h;
    const QByteArray body = "[strFieldName]\n0=a\n1=b\n2=c\n[xcFieldDataType]\n0=1\n1=1\n2=1\n";
    const QList<QByteArray> rejected = {
        "[DTFormatInfo]\nhigh=0\n" + body,
        "[DTFormatInfo]\nhigh=201\n" + body,
        "[DTFormatInfo]\nhigh=two\n" + body,
        body,
        "[DTFormatInfo]\nhigh=2\n[intOrder]\n0=1\n1=1\n2=2\n" + body,    // position 0 left empty
        "[DTFormatInfo]\nhigh=2\n[intOrder]\n0=0\n1=3\n2=2\n" + body,    // past the end
        "[DTFormatInfo]\nhigh=2\n[intOrder]\n0=-1\n" + body,
    };
    for (const QByteArray& file : rejected) {
        h.WriteLayout(file);
        TNextGridManager m(&h.app, Definitions(), QStringLiteral("ngdBudgetAdj"));
        const TDTFieldType* first = m.Fields().first();
        EXPECT_FALSE(m.LoadColumnLayout()) << file.toStdString();
        ASSERT_EQ(m.Fields().size(), 9);
        EXPECT_EQ(m.Fields().first(), first);
    }
    QFile::remove(h.dir.filePath(QStringLiteral("ngdBudgetAdj.for")));
    TNextGridManager missing(&h.app, Definitions(), QStringLiteral("ngdBudgetAdj"));
    EXPECT_FALSE(missing.LoadColumnLayout());

    // 200 is still accepted.
    QByteArray big = "[DTFormatInfo]\nhigh=200\n";
    h.WriteLayout(big);
    TNextGridManager m(&h.app, Definitions(), QStringLiteral("ngdBudgetAdj"));
    EXPECT_TRUE(m.LoadColumnLayout());
    EXPECT_EQ(m.Fields().size(), 201);
}

TEST(NextGridManager, TotalsFollowTheRowsTheGridShows)
{
    Host h;
    ThreeRecords(h);
    h.Sql(QStringLiteral("insert into rec values('4','0','102001','03',0.1,0.00001,null,'e4')"));
    h.Sql(QStringLiteral("insert into rec values('5','0','102002','03',0.2,0.00002,null,'e5')"));
    TNextGrid grid;
    TNextGridManager m(&h.app, Definitions(), QStringLiteral("ngdBudgetAdj"));
    m.CreateColumns(&grid);
    ASSERT_TRUE(m.LoadRows(&grid, kRecords, true, false, true));
    ASSERT_EQ(grid.RowCount(), 6);
    const int money = grid.Columns().FindByName(QStringLiteral("budgmoney"));
    const int wy = grid.Columns().FindByName(QStringLiteral("budgmoney_wy"));
    const int eid = grid.Columns().FindByName(QStringLiteral("eid"));
    const QString loaded = grid.Cells(money, 5);
    EXPECT_EQ(loaded, QStringLiteral("4.05"));

    grid.SetColumnFilter(eid, QStringLiteral("102"));
    m.UpdateTotals(&grid);
    EXPECT_EQ(grid.Cells(money, 5), QStringLiteral("0.3"));   // 0.1 + 0.2, in the loader's text
    EXPECT_EQ(grid.Cells(wy, 5), QStringLiteral("0.00003"));   // exact, not 3.0000000000000004e-05
    EXPECT_EQ(grid.Cells(eid, 5), QString());
    EXPECT_EQ(grid.Cells(grid.Columns().FindByName(QStringLiteral("budgid")), 5), QStringLiteral("合计"));
    EXPECT_EQ(grid.CellColor(money, 5), kTotal);
    // A range on the amounts; nothing shown but the totals row sums to 0.
    grid.SetColumnFilter(eid, QString());
    grid.SetColumnFilter(money, QStringLiteral(">=1.5"));
    m.UpdateTotals(&grid);
    EXPECT_EQ(grid.Cells(money, 5), QStringLiteral("3.75"));
    grid.SetColumnFilter(money, QStringLiteral(">100"));
    m.UpdateTotals(&grid);
    EXPECT_EQ(grid.Cells(money, 5), QStringLiteral("0"));
    // Without a filter the loader's totals come back exactly, sorted or not.
    grid.ClearFilters();
    grid.SortByColumn(money, false);
    m.UpdateTotals(&grid);
    EXPECT_EQ(grid.Cells(money, 5), loaded);

    // A halving load halves the shown sums as well.
    ASSERT_TRUE(m.LoadRows(&grid, kRecords, true, true, true));
    grid.SetColumnFilter(money, QStringLiteral("1.5"));
    m.UpdateTotals(&grid);
    EXPECT_EQ(grid.Cells(money, 5), QStringLiteral("0.75"));

    // A load that added no totals row leaves the last row alone.
    grid.ClearFilters();
    ASSERT_TRUE(m.LoadRows(&grid, kRecords, false, false, true));
    ASSERT_EQ(grid.RowCount(), 5);
    grid.SetColumnFilter(eid, QStringLiteral("102"));
    m.UpdateTotals(&grid);
    EXPECT_EQ(grid.Cells(money, 4), QStringLiteral("0.2"));
}

TEST(NextGridManager, LayoutFilesAreBoundedAndReadAgainOnlyWhenChanged)
{
    Host h;
    const QByteArray three = "[DTFormatInfo]\nhigh=2\n[strFieldName]\n0=a\n1=b\n2=c\n[xcFieldDataType]\n0=1\n1=1\n2=1\n";
    h.WriteLayout(three);
    TNextGridManager first(&h.app, Definitions(), QStringLiteral("ngdBudgetAdj"));
    ASSERT_TRUE(first.LoadColumnLayout());
    EXPECT_EQ(first.Fields().size(), 3);

    // A new content is seen at the next load.
    QThread::msleep(20);
    h.WriteLayout("[DTFormatInfo]\nhigh=1\n[strFieldName]\n0=x\n1=y\n");
    TNextGridManager second(&h.app, Definitions(), QStringLiteral("ngdBudgetAdj"));
    ASSERT_TRUE(second.LoadColumnLayout());
    ASSERT_EQ(second.Fields().size(), 2);
    EXPECT_EQ(second.Fields()[0]->FieldName, QStringLiteral("x"));

    // Past the size a layout file can have, the file is not one: the built-in
    // columns stay, whatever it says at its start.
    QByteArray huge = three;
    while (huge.size() <= MaxLayoutFileBytes)
        huge += "; padding padding padding padding padding padding padding padding\n";
    h.WriteLayout(huge);
    TNextGridManager third(&h.app, Definitions(), QStringLiteral("ngdBudgetAdj"));
    EXPECT_FALSE(third.LoadColumnLayout());
    EXPECT_EQ(third.Fields().size(), 9);
}

TEST(NextGridManager, ATotalTooLargeForANumberSaysSo)
{
    EXPECT_EQ(TotalText(1e308 + 1e308), QStringLiteral("超出范围"));
    EXPECT_EQ(TotalText(-(1e308 + 1e308)), QStringLiteral("超出范围"));
    EXPECT_EQ(TotalText(3.75), QStringLiteral("3.75"));
    EXPECT_EQ(TotalText(0), QStringLiteral("0"));
}

TEST(NextGridManager, ALoadShownInPartsEndsAsTheSameRowsAndTotalsAsOneLoad)
{
    Host h;
    ThreeRecords(h);
    h.Sql(QStringLiteral("insert into rec values('4','0','102001','03',0.1,0.00001,null,'e4')"));
    h.Sql(QStringLiteral("insert into rec values('5','0','102002','03',0.2,0.00002,null,'e5')"));
    TNextGrid whole, parts;
    TNextGridManager m(nullptr, Definitions(), QStringLiteral("ngdBudgetAdj"));
    m.CreateColumns(&whole);
    ASSERT_TRUE(m.LoadRows(&whole, kRecords, true, false, true));

    TNextGridManager p(nullptr, Definitions(), QStringLiteral("ngdBudgetAdj"));
    p.CreateColumns(&parts);
    QAbstractItemModelTester tester(parts.Model(), QAbstractItemModelTester::FailureReportingMode::Fatal);
    const int money = parts.Columns().FindByName(QStringLiteral("budgmoney"));
    const int budgid = parts.Columns().FindByName(QStringLiteral("budgid"));
    TResult<IARQueryRef> query = OpenDefSQL(kRecords);
    ASSERT_TRUE(query);
    TADOQuery* q = query.Value()->GetQuery();
    TGridRowsBuilder builder(p.PlanLoad(&parts, true, false, true));
    q->First();
    for (int part = 0; part < 2; ++part) {
        for (int i = 0; i < 2; ++i, q->Next())
            builder.Add(*q);
        p.AddRows(&parts, builder.CopyRows(2 * part), false);
        ASSERT_TRUE(p.Partial());
        // Rows so far and a totals row that says more are coming, with no sum.
        EXPECT_EQ(parts.RowCount(), 2 * part + 3);
        EXPECT_EQ(parts.FooterRow(), 2 * part + 2);
        EXPECT_EQ(parts.Cells(budgid, parts.FooterRow()), LoadingText(2 * part + 2));
        EXPECT_EQ(parts.Cells(money, parts.FooterRow()), QString());
        // A filter's totals wait for the last part; the former totals row left no colour behind.
        parts.SetColumnFilter(money, part == 0 ? QStringLiteral(">=0") : QString());
        p.UpdateTotals(&parts);
        EXPECT_EQ(parts.Cells(money, parts.FooterRow()), QString());
        EXPECT_FALSE(parts.CellColor(money, 2 * part).isValid());
    }
    for (; !q->Eof(); q->Next())
        builder.Add(*q);
    p.AddRows(&parts, builder.Finish(false), true);
    EXPECT_FALSE(p.Partial());
    ASSERT_EQ(parts.RowCount(), whole.RowCount());
    EXPECT_EQ(parts.FooterRow(), whole.FooterRow());
    for (int c = 0; c < whole.Columns().Count(); ++c)
        EXPECT_EQ(Column(parts, c), Column(whole, c)) << c;
    EXPECT_EQ(parts.CellColor(money, parts.FooterRow()), kTotal);
}
