// Bad input through the real host: window names, host records, odd data values
// and broken databases. Each case ends with a clear message and loses nothing.
#include "plugin/untIVeltraneWindow.h"
#include "records/untRecordSql.h"
#include "tests/host/ModuleHost.h"
#include <gtest/gtest.h>
#include <cstdio>
#include <QCoreApplication>
#include <QEvent>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using namespace hostproc;

namespace {

class BadInput : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        dir = new QTemporaryDir;
        database = dir->filePath(QStringLiteral("demo.sqlite"));
        ASSERT_TRUE(CreateDemo(database));
    }
    static void TearDownTestSuite()
    {
        delete dir;
        dir = nullptr;
    }
    // A private copy for a test that changes data.
    static QString Copy(const QString& name)
    {
        const QString copy = dir->filePath(name);
        QFile::remove(copy);
        EXPECT_TRUE(QFile::copy(database, copy));
        return copy;
    }
    static inline QTemporaryDir* dir = nullptr;
    static inline QString database;
};

QString NotRegistered(const QString& name)
{
    return QStringLiteral("message Korrindel 7.1 | 类") + name + QStringLiteral("没有进行注册或不存在！");
}

}  // namespace

TEST_F(BadInput, OddWindowNamesGetAClearOutcomeAndTheHostGoesOn)
{
    for (const QString& name : QStringList{QStringLiteral("窗口"), QStringLiteral("TbfrmVeltrane2")}) {
        const Result r = Script(database, QStringLiteral("open ") + name + QStringLiteral("\nwindows\n"));
        EXPECT_EQ(r.code, 0) << qPrintable(r.err);
        EXPECT_EQ(r.lines(), (QStringList{NotRegistered(name), QStringLiteral("result 0")})) << qPrintable(name);
    }
    // The registry also holds the window's toolkit ancestors. Either they are
    // refused by name, or: TPersistent is no component; a plain TComponent is
    // made and kept till the host ends; a bare TForm is shown modelessly and
    // closing only hides it. Either way the module is released once, at the end.
    const Result persistent = Script(database, QStringLiteral("open TPersistent\nwindows\necho alive\n"));
    EXPECT_EQ(persistent.code, 0) << qPrintable(persistent.err);
    const QStringList refusedP{NotRegistered(QStringLiteral("TPersistent")), QStringLiteral("result 0"), QStringLiteral("alive")};
    const QStringList notComponent{QStringLiteral("message Korrindel 7.1 | 只能创建从TComponent继承过来的类的实例！"),
                                   QStringLiteral("result 0"), QStringLiteral("alive")};
    EXPECT_TRUE(persistent.lines() == refusedP || persistent.lines() == notComponent) << qPrintable(persistent.out);

    const Result component = Script(database, QStringLiteral("open TComponent\nwindows\necho alive\n"));
    EXPECT_EQ(component.code, 0) << qPrintable(component.err);
    const QStringList refusedC{NotRegistered(QStringLiteral("TComponent")), QStringLiteral("result 0"), QStringLiteral("alive")};
    const QStringList keptTillTheEnd{QStringLiteral("result 0"), QStringLiteral("alive"), QStringLiteral("released 1")};
    EXPECT_TRUE(component.lines() == refusedC || component.lines() == keptTillTheEnd) << qPrintable(component.out);

    const Result form = Script(database, QStringLiteral("open TForm\nwindows\nclose\nwindows\necho alive\n"));
    const QStringList formLines = form.lines();
    if (formLines.value(0) == NotRegistered(QStringLiteral("TForm"))) {
        EXPECT_EQ(form.code, 1);   // nothing to close
        EXPECT_TRUE(form.err.contains(QStringLiteral("第3行"))) << qPrintable(form.err);
    } else {
        EXPECT_EQ(form.code, 0) << qPrintable(form.err);
        ASSERT_EQ(formLines.size(), 5) << qPrintable(form.out);
        EXPECT_EQ(formLines[0], QStringLiteral("result 0"));
        EXPECT_TRUE(formLines[1].startsWith(QStringLiteral("window TForm ")) && formLines[1].endsWith(QStringLiteral("visible=1")))
            << qPrintable(formLines[1]);
        EXPECT_TRUE(formLines[2].endsWith(QStringLiteral("visible=0"))) << qPrintable(formLines[2]);
        EXPECT_EQ(formLines[3], QStringLiteral("alive"));
        EXPECT_EQ(formLines[4], QStringLiteral("released 1"));
    }

    // 64 KiB of name, and bytes that are not UTF-8 at all.
    const QString huge(64 * 1024, QLatin1Char('T'));
    const Result big = Script(database, QStringLiteral("open ") + huge + QStringLiteral("\nwindows\necho alive\n"));
    EXPECT_EQ(big.code, 0) << qPrintable(big.err);
    EXPECT_EQ(big.lines(), (QStringList{NotRegistered(huge), QStringLiteral("result 0"), QStringLiteral("alive")}));

    const Result raw = Exec({QStringLiteral("--connection"), Sqlite(database), QStringLiteral("--script"), QStringLiteral("-")},
                            QByteArray("open T\xff\xfe\x80x\nwindows\necho alive\n"));
    EXPECT_EQ(raw.code, 0) << qPrintable(raw.err);
    const QStringList lines = raw.lines();
    ASSERT_EQ(lines.size(), 3) << qPrintable(raw.out);
    EXPECT_TRUE(lines[0].startsWith(QStringLiteral("message Korrindel 7.1 | 类T"))) << qPrintable(lines[0]);
    EXPECT_EQ(lines[1], QStringLiteral("result 0"));
    EXPECT_EQ(lines[2], QStringLiteral("alive"));
}

TEST_F(BadInput, MissingOrOddUnitRecordsStopBeforeAnyQuery)
{
    const QString invalid = QStringLiteral("message Korrindel 7.1-提示信息 | 单位部门类别无效，无法提取预算指标！");
    const QString trace = dir->filePath(QStringLiteral("odd-unit.sql"));
    // A unit that is not in pubdept, and department classes that are no number.
    const QList<QStringList> cases{
        {QStringLiteral("--unit"), QStringLiteral("999999")},
        {QStringLiteral("--unit-field"), QStringLiteral("4=abc")},
        {QStringLiteral("--unit-field"), QStringLiteral("4=99999999999")},
        {QStringLiteral("--unit-field"), QStringLiteral("4=2' or '1'='1")},
    };
    for (const QStringList& extra : cases) {
        QFile::remove(trace);
        const Result r = Script(database, QStringLiteral("open\nbuttons\nclose\n"),
                                extra + QStringList{QStringLiteral("--trace-sql"), trace});
        EXPECT_EQ(r.code, 0) << qPrintable(extra.join(' ')) << qPrintable(r.err);
        EXPECT_TRUE(r.lines().contains(invalid)) << qPrintable(extra.join(' ')) << qPrintable(r.out);
        EXPECT_TRUE(r.lines().contains(QStringLiteral("tbtnConfirm disabled"))) << qPrintable(r.out);
        QFile f(trace);
        const QString sql = f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
        EXPECT_FALSE(sql.contains(QStringLiteral("vwbudgetadj"), Qt::CaseInsensitive)) << qPrintable(sql);
    }
}

namespace {

QString Sq(QString v) { return v.replace(QLatin1Char('\''), QStringLiteral("''")); }

}  // namespace

TEST_F(BadInput, QuotesPercentAndUnderscoreInValuesTouchOnlyTheirOwnRows)
{
    const QString file = Copy(QStringLiteral("odd-values.sqlite"));
    // Units whose codes LIKE would confuse with a neighbour (9_1 / 9A1, 9%2 / 9B2),
    // and one with a quote; each has one leaf with two records of one key
    // combination. Names, document numbers and office codes hold quotes and wildcards.
    const QStringList parents{QStringLiteral("9_1"), QStringLiteral("9A1"), QStringLiteral("9%2"), QStringLiteral("9B2"),
                              QStringLiteral("9'3")};
    {
        Db db(file);
        int id = 90000;
        for (const QString& p : parents) {
            const QString leaf = p + QStringLiteral("001");
            ASSERT_TRUE(db.Exec(QStringLiteral("insert into pubdept(eid,peid,ename,deptclass,leafflag,levelno) values"
                                               "('%1','','单位''%_%1','2','1',1),('%2','%1','本级''%_%2','2','0',2)")
                                    .arg(Sq(p), Sq(leaf))))
                << qPrintable(db.Handle().lastError().text());
            for (const char* office : {"0'1", "0_1"})
                ASSERT_TRUE(db.Exec(QStringLiteral("insert into BusiBudgetAdj(datayear,BudgId,eid,deptclass,BType,btypechild,mid,bid,iid,"
                                                   "bkid,ipid,pid,ekid,BudgMoney,status,filename,issecret,burid) select 2024,%1,'%2','2','1',"
                                                   "'1',mid,bid,iid,bkid,ipid,pid,ekid,100,'0','文''号%_','0','%3' from BusiBudgetAdj where BudgId=1")
                                        .arg(++id)
                                        .arg(Sq(leaf), Sq(QString::fromLatin1(office)))))
                    << qPrintable(db.Handle().lastError().text());
        }
        ASSERT_TRUE(db.Exec(QStringLiteral("insert into puboffice values('0''1','处''室'),('0_1','处_室')")));
    }
    Db db(file);
    const QStringList before = db.Statuses();

    // Each odd unit's tree and grid hold only its own rows, and confirming its
    // summary row changes its two records and nothing else.
    int confirmed = 0;
    for (const QString& p : {parents[0], parents[2], parents[4]}) {
        const Result r = Script(file, QStringLiteral("open\ntree\nselect %1\nmode detail\nview unconfirmed\ngrid\nmode summary\ngrid\ntick 0\npress tbtnConfirm\n").arg(p),
                                {QStringLiteral("--unit"), p + QStringLiteral("001")});
        ASSERT_EQ(r.code, 0) << qPrintable(p) << qPrintable(r.err);
        const QStringList lines = r.lines();
        EXPECT_EQ(lines.filter(QRegularExpression(QStringLiteral("^ +9"))).size(), 2) << qPrintable(r.out);
        const QStringList rows = lines.filter(QRegularExpression(QStringLiteral("^\\[ \\]\\t\\d")));
        ASSERT_EQ(rows.size(), 3) << qPrintable(p) << qPrintable(r.out);   // two records, one summary row
        EXPECT_EQ(rows[0].section(QLatin1Char('\t'), 2, 2), p + QStringLiteral("001")) << qPrintable(rows[0]);
        EXPECT_EQ(rows[1].section(QLatin1Char('\t'), 2, 2), p + QStringLiteral("001")) << qPrintable(rows[1]);
        EXPECT_EQ(rows[2].section(QLatin1Char('\t'), 1, 1), p) << qPrintable(rows[2]);

        confirmed += 2;
        EXPECT_EQ(db.Value(QStringLiteral("select count(*) from BusiBudgetAdj where eid='") + Sq(p) + QStringLiteral("001' and status='1'")).toInt(), 2)
            << qPrintable(p);
        EXPECT_EQ(db.Value(QStringLiteral("select count(*) from BusiBudgetAdj where status='1' and BudgId>90000")).toInt(), confirmed)
            << qPrintable(p);
    }
    const QStringList after = db.Statuses();
    ASSERT_EQ(after.size(), before.size());
    int changed = 0;
    for (qsizetype i = 0; i < after.size(); ++i)
        changed += after[i] != before[i];
    EXPECT_EQ(changed, 6);

    // An office code with a quote filters on exactly that office.
    const Result office = Script(file, QStringLiteral("open\nmode detail\nview confirmed\ngrid\n"),
                                 {QStringLiteral("--unit"), QStringLiteral("9'3001"), QStringLiteral("--office"), QStringLiteral("0'1"),
                                  QStringLiteral("--param"), QStringLiteral("OfficeFilter=1")});
    ASSERT_EQ(office.code, 0) << qPrintable(office.err);
    const QStringList officeRows = office.lines().filter(QRegularExpression(QStringLiteral("^\\[ \\]\\t\\d")));
    ASSERT_EQ(officeRows.size(), 1) << qPrintable(office.out);
    EXPECT_TRUE(officeRows[0].contains(QStringLiteral("处'室"))) << qPrintable(officeRows[0]);
}

TEST_F(BadInput, BrokenDatabasesAndProvidersEndWithAMessageNotACrash)
{
    // No view: a failed record query leaves the grid empty and both buttons off;
    // the host goes on and nothing is written.
    const QString noView = Copy(QStringLiteral("no-view.sqlite"));
    {
        Db db(noView);
        ASSERT_TRUE(db.Exec(QStringLiteral("drop view vwbudgetadj")));
    }
    const Result view = Script(noView, QStringLiteral("open\ngrid\nbuttons\necho alive\n"));
    EXPECT_EQ(view.code, 0) << qPrintable(view.err);
    EXPECT_TRUE(view.lines().filter(QRegularExpression(QStringLiteral("^\\[ \\]\\t"))).isEmpty()) << qPrintable(view.out);
    EXPECT_TRUE(view.lines().contains(QStringLiteral("tbtnConfirm disabled"))) << qPrintable(view.out);
    EXPECT_TRUE(view.lines().contains(QStringLiteral("alive")));
    {
        Db db(noView);
        EXPECT_EQ(db.Value(QStringLiteral("select count(*) from BusiBudgetAdj where status='1'")).toInt(),
                  Db(database).Value(QStringLiteral("select count(*) from BusiBudgetAdj where status='1'")).toInt());
    }

    // No unit table: the tree cannot load.
    const QString noTable = Copy(QStringLiteral("no-table.sqlite"));
    {
        Db db(noTable);
        ASSERT_TRUE(db.Exec(QStringLiteral("drop table pubdept")));
    }
    // No unit table: not a budget database. One message says so and what to do,
    // and the window is not opened on it.
    const Result table = Script(noTable, QStringLiteral("open\nbuttons\necho alive\n"));
    EXPECT_EQ(table.code, 2);
    EXPECT_TRUE(table.err.contains(QStringLiteral("数据库中没有预算数据表：%1（缺少 pubdept）").arg(noTable)))
        << qPrintable(table.err);
    EXPECT_TRUE(table.err.contains(QStringLiteral("--create-demo"))) << qPrintable(table.err);
    EXPECT_FALSE(table.out.contains(QStringLiteral("message "))) << qPrintable(table.out);

    // An empty file: told what is wrong, and nothing is made of it.
    const QString empty = dir->filePath(QStringLiteral("empty.sqlite"));
    {
        QFile f(empty);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    for (const QStringList& extra : {QStringList{}, QStringList{QStringLiteral("--upgrade")}}) {
        const Result blank = Script(empty, QStringLiteral("open\n"), extra);
        EXPECT_NE(blank.code, 0);
        EXPECT_TRUE(blank.err.contains(QStringLiteral("文件不是数据库：%1（文件是空的）").arg(empty))) << qPrintable(blank.err);
        // One message: nothing of the tables or the journal it does not have.
        EXPECT_FALSE(blank.err.contains(QStringLiteral("pubdept")) || blank.err.contains(QStringLiteral("日志"))
                     || blank.out.contains(QStringLiteral("message ")))
            << qPrintable(blank.err + blank.out);
        EXPECT_EQ(QFileInfo(empty).size(), 0);
        EXPECT_FALSE(QFile::exists(empty + QStringLiteral("-wal")));
    }

    // A file that is not a database is left as it was.
    const QString junk = dir->filePath(QStringLiteral("junk.sqlite"));
    const QByteArray bytes = QByteArray("this is not a database\n").repeated(200);
    {
        QFile f(junk);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    const Result notDb = Script(junk, QStringLiteral("open\n"));
    EXPECT_EQ(notDb.code, 2);
    EXPECT_TRUE(notDb.err.contains(QStringLiteral("文件不是数据库：%1（不是 SQLite 数据库）").arg(junk))) << qPrintable(notDb.err);
    {
        QFile f(junk);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        EXPECT_EQ(f.readAll(), bytes);
    }

    // A file nobody may write (as root only the immutable flag stops writes):
    // confirming is passed over and the records keep their status.
    const QString readOnly = Copy(QStringLiteral("read-only.sqlite"));
    ReadOnlyFile locked(readOnly);
    if (!locked.Made()) {
        std::printf("notice: no way to make a read-only file here; that case was not run\n");
    } else {
        const QString count = QStringLiteral("sql select count(*) from BusiBudgetAdj where status='1'\n");
        const Result ro = Script(readOnly, count + QStringLiteral("open\nmode detail\nview unconfirmed\ntick 0 1\npress tbtnConfirm\n") + count);
        EXPECT_EQ(ro.code, 0) << qPrintable(ro.err);
        const QStringList lines = ro.lines();
        ASSERT_GE(lines.size(), 2) << qPrintable(ro.out);
        EXPECT_EQ(lines.first(), lines.at(lines.size() - 2)) << qPrintable(ro.out);
        EXPECT_EQ(lines.last(), QStringLiteral("released 1"));
    }

    const Result provider = Exec({QStringLiteral("--connection"), QStringLiteral("Provider=No.Such.Provider;Data Source=") + database,
                                  QStringLiteral("--script"), QStringLiteral("-")},
                                 QByteArray("open\n"));
    EXPECT_EQ(provider.code, 2);
    EXPECT_TRUE(provider.err.contains(QStringLiteral("无法识别的数据库提供程序：No.Such.Provider"))) << qPrintable(provider.err);
}

TEST(LikePrefix, WildcardsInAUnitCodeAreEscapedAndPlainCodesKeepTheirStatement)
{
    TSummaryKey key{QStringLiteral("101"), QStringLiteral("1"), QStringLiteral("21"), QStringLiteral("2"),
                    QStringLiteral("1"), QStringLiteral("20502"), QStringLiteral("002")};
    const QString plain = SummaryDeleteCondition(nullptr, QStringLiteral("1"), QStringLiteral("2"), key);
    EXPECT_TRUE(plain.contains(QStringLiteral("   and eid like'101%'    and mid ='1' "))) << qPrintable(plain);
    EXPECT_FALSE(plain.contains(QStringLiteral("escape")));

    // The escape character itself is doubled once escaping is on; a quote is still doubled.
    key.Eid = QStringLiteral("1_%!'");
    const QString odd = SummaryStatusSQL(nullptr, QStringLiteral("1"), 2024, QStringLiteral("1"), QStringLiteral("2"), key);
    EXPECT_TRUE(odd.contains(QStringLiteral("   and eid like'1!_!%!!''%' escape '!'    and mid ='1' "))) << qPrintable(odd);
    key.Eid = QStringLiteral("1!");
    EXPECT_TRUE(SummaryStatusSQL(nullptr, QStringLiteral("1"), 2024, QStringLiteral("1"), QStringLiteral("2"), key)
                    .contains(QStringLiteral("eid like'1!%'    and")));
}

TEST_F(BadInput, HostLeavingOutWhatTheModuleReadsGetsAWindowOrAMessageNotACrash)
{
    ModuleHost host(database);
    ASSERT_TRUE(host.Load()) << qPrintable(host.module.errorString());
    auto closeAll = [&host] {
        for (TForm* f : host.Windows())
            f->Close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCoreApplication::processEvents();
    };
    // What a window asks the database when it opens comes back on later turns.
    auto show = [&host] {
        const int shown = host.Show("TbfrmVeltrane");
        for (TForm* f : host.Windows())
            if (auto* w = qobject_cast<IVeltraneWindow*>(f)) {
                EXPECT_TRUE(QTest::qWaitFor([w] { return !w->Busy(); }, 60000));
            }
        return shown;
    };
    // No system parameters and no user record: their defaults apply.
    host.pub.SysParams = nullptr;
    host.pub.UserRecord = nullptr;
    EXPECT_EQ(show(), 0);
    EXPECT_EQ(host.Windows().size(), 1);
    EXPECT_TRUE(host.messages.isEmpty()) << qPrintable(host.messages.join('\n'));
    closeAll();
    EXPECT_EQ(host.manager.released.size(), 1);
    EXPECT_TRUE(host.Windows().isEmpty());

    // Null and odd values in the unit record's fields.
    host.unit.SetField(4, QVariant());
    host.unit.SetField(0, QVariant(QVariant::fromValue(12.5)));
    EXPECT_EQ(show(), 0);
    EXPECT_EQ(host.messages, QStringList{QStringLiteral("Korrindel 7.1-提示信息 | 单位部门类别无效，无法提取预算指标！")});
    closeAll();
    host.messages.clear();

    // No unit record and no public variables at all.
    host.pub.UnitRecord = nullptr;
    EXPECT_EQ(show(), 0);
    EXPECT_EQ(host.messages.size(), 1) << qPrintable(host.messages.join('\n'));
    closeAll();
    host.messages.clear();
    host.context.PubVariables = nullptr;
    EXPECT_EQ(show(), 0);
    EXPECT_EQ(host.messages.size(), 1) << qPrintable(host.messages.join('\n'));
    closeAll();
    // Every window that opened was released.
    EXPECT_EQ(host.manager.released.size(), 4);
    EXPECT_EQ(host.Show(""), 0);
    EXPECT_EQ(host.Show(nullptr), 0);
    EXPECT_TRUE(host.Windows().isEmpty());
}
