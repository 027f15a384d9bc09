#include "data/untDefData.h"
#include "data/untHostRecords.h"
#include "data/untSqlDialect.h"
#include "plugin/untGlobals.h"
#include "tests/DefConnectionScope.h"

#include <QFile>
#include <optional>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// The host's shared variables, built on the stack; its manager's connection is
// the data layer's Def.
struct Host {
    QTemporaryDir dir;
    TDbManager manager;
    THostRecord unit, user;
    TSysParams params{};
    QByteArray financeFlag = "0";
    TPubVariables vars{};
    std::optional<testsupport::DefConnectionScope> def;

    Host()
    {
        QFile(dir.filePath(QStringLiteral("h.db"))).open(QIODevice::WriteOnly);
        manager.ConnectionString = QStringLiteral("Provider=SQLite;Data Source=") + dir.filePath(QStringLiteral("h.db"));
        params.FinanceOfficeFlag = financeFlag.constData();
        vars.DataYear = 2024;
        vars.DbManager = &manager;
        vars.SysParams = &params;
        vars.UnitRecord = &unit;
        vars.UserRecord = &user;
        def.emplace(manager);
    }
    // The checks as the window makes them, on the context the module reads of these records.
    bool FinanceOffice() const
    {
        const TModuleContext c = ReadModuleContext(&vars);
        return IsFinanceOffice(c.UnitCode, c.FinanceOfficeFlag);
    }
    bool SingleUnit() const
    {
        const TModuleContext c = ReadModuleContext(&vars);
        return IsSingleUnit(c.Conn, c.UnitCode, c.FinanceOfficeFlag);
    }
    void SetFinanceFlag(const char* v)
    {
        financeFlag = v;
        params.FinanceOfficeFlag = v ? financeFlag.constData() : nullptr;
    }
    void Units(std::initializer_list<const char*> codes)
    {
        ASSERT_TRUE(ExecDefSQL(QStringLiteral("create table if not exists pubdept(eid text, ename text)")));
        for (const char* c : codes)
            ASSERT_TRUE(ExecDefSQL(QStringLiteral("insert into pubdept values('%1','u')").arg(QuotedValue(QLatin1String(c)))));
    }
};

}  // namespace

TEST(DefData, DefConnectionComesFromTheHostsManager)
{
    Host h;
    TAdoConn* def = DefConnection();
    ASSERT_NE(def, nullptr);
    EXPECT_EQ(DefConnection(), def);
    EXPECT_EQ(h.manager.Connections.Count(), 1);
    EXPECT_EQ(h.manager.IndexOfConnection(QStringLiteral("Def")), 0);

    h.def.reset();
    EXPECT_EQ(DefConnection(), nullptr);
    EXPECT_FALSE(OpenDefSQL(QStringLiteral("select 1")));
    EXPECT_FALSE(ExecDefSQL(QStringLiteral("select 1")));
}

TEST(DefData, WrappersTurnErrorsIntoFailedResultsAndLeaveTheCallersReference)
{
    Host h;
    const int live = TARQuery::LiveCount();
    EXPECT_TRUE(ExecDefSQL(QStringLiteral("create table t(a text)")));
    const TResult<int> inserted = ExecDefSQL(QStringLiteral("insert into t values('1')"));
    ASSERT_TRUE(inserted);
    EXPECT_EQ(inserted.Value(), 1);
    for (const char* bad : {"insert into nowhere values(1)", "this is not sql"}) {
        const TResult<int> failed = ExecDefSQL(QString::fromLatin1(bad));
        ASSERT_FALSE(failed) << bad;
        EXPECT_FALSE(failed.Error().Message.isEmpty()) << bad;
    }

    const TResult<IARQueryRef> missing = OpenDefSQL(QStringLiteral("select * from nowhere"));
    ASSERT_FALSE(missing);
    EXPECT_FALSE(missing.Error().Message.isEmpty());
    EXPECT_EQ(TARQuery::LiveCount(), live);   // one that did not open is not kept

    TResult<IARQueryRef> opened = OpenDefSQL(QStringLiteral("select a from t"));
    ASSERT_TRUE(opened);
    IARQueryRef q = opened.Take();
    TARQuery* first = q->GetQuery();
    EXPECT_EQ(first->RefCount(), 1);
    EXPECT_FALSE(OpenDefSQL(QStringLiteral("select b from t")));
    EXPECT_EQ(q->GetQuery(), first);
    EXPECT_EQ(first->RefCount(), 1);
    EXPECT_EQ(TARQuery::LiveCount(), live + 1);

    opened = OpenDefSQL(QStringLiteral("select count(*) as n from t"));
    ASSERT_TRUE(opened);
    q = opened.Take();
    EXPECT_EQ(q->GetQuery()->FieldText(QStringLiteral("n")), QStringLiteral("1"));
    EXPECT_EQ(TARQuery::LiveCount(), live + 1);   // the first one went with its last reference
    q.Clear();
    EXPECT_EQ(TARQuery::LiveCount(), live);
}

TEST(DefData, RecordFieldTextAndHostParameterText)
{
    THostRecord r;
    r.SetField(0, QVariant());
    r.SetField(1, 7);
    r.SetField(2, QStringLiteral("财政"));
    r.SetField(3, 2.5);
    r.SetField(4, true);
    r.SetField(5, QVariant::fromValue(nullptr));
    EXPECT_EQ(RecordFieldText(&r, 0), QString());
    EXPECT_EQ(RecordFieldText(&r, 1), QStringLiteral("7"));
    EXPECT_EQ(RecordFieldText(&r, 2), QStringLiteral("财政"));
    EXPECT_EQ(RecordFieldText(&r, 3), QStringLiteral("2.5"));
    EXPECT_EQ(RecordFieldText(&r, 4), QStringLiteral("True"));
    EXPECT_EQ(RecordFieldText(&r, 5), QString());
    EXPECT_EQ(RecordFieldText(&r, 99), QString());
    EXPECT_EQ(RecordFieldText(nullptr, 0), QString());
    EXPECT_EQ(RecordFieldText(static_cast<const THostField*>(nullptr)), QString());

    EXPECT_EQ(SysParamText(nullptr), QString());
    EXPECT_EQ(SysParamText("\xb2\xc6\xd5\xfe"), QStringLiteral("财政"));   // GBK
}

TEST(DefData, FinanceOfficeNeedsSixCharactersEndingIn001AndTheFlag)
{
    Host h;
    h.SetFinanceFlag("1");
    for (const char* code : {"101", "1010010", "101001001", "101002", ""}) {
        h.unit.SetField(0, QString::fromLatin1(code));
        EXPECT_FALSE(h.FinanceOffice()) << code;
    }
    h.unit.SetField(0, QStringLiteral("101001"));
    EXPECT_TRUE(h.FinanceOffice());
    h.SetFinanceFlag("0");
    EXPECT_FALSE(h.FinanceOffice());
    h.SetFinanceFlag(nullptr);
    EXPECT_FALSE(h.FinanceOffice());
    h.SetFinanceFlag(" 1");
    EXPECT_FALSE(h.FinanceOffice());
    h.vars.UnitRecord = nullptr;
    EXPECT_FALSE(h.FinanceOffice());
}

TEST(DefData, SingleUnitCountsTheParentsRangeOnARealDatabase)
{
    Host h;
    QStringList sent;
    TADOConnection::SetTraceHook([&](const QString& sql) { sent << sql; });
    h.Units({"123", "123456"});
    h.unit.SetField(0, QStringLiteral("123456"));
    sent.clear();
    EXPECT_TRUE(h.SingleUnit());
    EXPECT_EQ(sent, QStringList{QStringLiteral("select * from pubdept where eid like '123%'")});

    h.Units({"123457"});
    EXPECT_FALSE(h.SingleUnit());
    TADOConnection::SetTraceHook(nullptr);

    // A finance office is never single, whatever the count.
    Host f;
    f.Units({"123", "123001"});
    f.unit.SetField(0, QStringLiteral("123001"));
    EXPECT_TRUE(f.SingleUnit());
    f.SetFinanceFlag("1");
    EXPECT_FALSE(f.SingleUnit());
    f.vars.UnitRecord = nullptr;
    EXPECT_FALSE(f.SingleUnit());
}

TEST(DefData, SingleUnitIsFalseWhenTheQueryCannotOpenAndQuotesAreDoubled)
{
    Host h;   // no pubdept table at all
    h.unit.SetField(0, QStringLiteral("123456"));
    EXPECT_FALSE(h.SingleUnit());

    h.Units({"12'", "12'456"});
    h.unit.SetField(0, QStringLiteral("12'456"));
    EXPECT_TRUE(h.SingleUnit());
}
