#include "records/untRecordSql.h"
#include "data/untDefData.h"
#include "data/untSqlDialect.h"
#include <iterator>

namespace {

// Between quotes, as the connection's session reads literals (refused with
// EDatabaseError when a value cannot be written safely).
QString Q(TAdoConn* conn, const QString& value) { return QuotedValue(conn, value); }

// The rest of a "like '<prefix>%'" after its opening quote. % and _ in a unit
// code are wildcards to LIKE and would reach other units' rows, so such a
// prefix is escaped; ordinary prefixes keep the plain statement.
QString LikePrefix(TAdoConn* conn, const QString& value)
{
    if (!value.contains(QLatin1Char('%')) && !value.contains(QLatin1Char('_')))
        return Q(conn, value) + QStringLiteral("%'");
    QString escaped;
    escaped.reserve(value.size() * 2);
    for (const QChar c : value) {
        if (c == QLatin1Char('%') || c == QLatin1Char('_') || c == QLatin1Char('!'))
            escaped += QLatin1Char('!');
        escaped += c;
    }
    return Q(conn, escaped) + QStringLiteral("%' escape '!'");
}

// One key condition: "   and mid ='1' ", or "   and mid is null " for a NULL code.
QString KeyCondition(TAdoConn* Conn, const char* Name, const QString& Value, bool Null)
{
    if (Null)
        return QStringLiteral("   and %1 is null ").arg(QLatin1String(Name));
    return QStringLiteral("   and %1 ='").arg(QLatin1String(Name)) + Q(Conn, Value) + QStringLiteral("' ");
}

// The key conditions shared by the summary update and the summary delete.
QString SummaryKeyConditions(TAdoConn* Conn, const TSummaryKey& Key)
{
    QString s;
    s += QStringLiteral("   and eid like'") + LikePrefix(Conn, Key.Eid) + QStringLiteral(" ");
    s += KeyCondition(Conn, "mid", Key.Mid, Key.NullCodes & 1);
    s += KeyCondition(Conn, "bkid", Key.Bkid, Key.NullCodes & 2);
    s += KeyCondition(Conn, "pid", Key.Pid, Key.NullCodes & 4);
    s += KeyCondition(Conn, "ipid", Key.Ipid, Key.NullCodes & 8);
    s += KeyCondition(Conn, "bid", Key.Bid, Key.NullCodes & 16);
    s += KeyCondition(Conn, "iid", Key.Iid, Key.NullCodes & 32);
    return s;
}

}  // namespace

namespace {
const char* const DetailOrder = "order by eid,bkid,mid,bid,ipid,pid";
}

QString UnitCondition(TAdoConn* Conn, const TRecordFilter& f)
{
    if (f.UnitScope.isEmpty())
        return QStringLiteral("eid like '") + LikePrefix(Conn, f.UnitCode);
    QStringList parts;
    for (const QString& unit : f.UnitScope)
        parts << QStringLiteral("eid like '") + LikePrefix(Conn, unit);
    return QLatin1Char('(') + parts.join(QStringLiteral(" or ")) + QLatin1Char(')');
}

int UnitPrefixLength(const TRecordFilter& f)
{
    if (f.UnitScope.isEmpty())
        return CharacterCount(f.UnitCode);
    int n = CharacterCount(f.UnitScope.constFirst());
    for (const QString& unit : f.UnitScope)
        n = qMin(n, CharacterCount(unit));
    return n;
}

namespace {

// The view's status and office conditions, as the record query has them, and
// the scope of the top node (a summary row's prefix may be shorter than a unit
// of the scope: its records are those of the scope).
QString ViewConditions(TAdoConn* Conn, const TRecordFilter& View)
{
    QString s;
    if (!View.UnitScope.isEmpty())
        s += QStringLiteral(" and ") + UnitCondition(Conn, View);
    if (View.Status == TStatusView::Unconfirmed)
        s += QStringLiteral(" and status='0'");
    else if (View.Status == TStatusView::Confirmed)
        s += QStringLiteral(" and status='1'");
    if (View.OfficeColumns && View.OfficeFilter == 1)
        s += QStringLiteral(" and burid='") + Q(Conn, View.OfficeCode) + QStringLiteral("'");
    return s;
}

// An amount as the database gave it, checked to be a plain number before it
// goes into a statement unquoted.
QString AmountLiteral(const QString& Amount)
{
    bool ok = false;
    Amount.toDouble(&ok);
    if (!ok || Amount.contains(QLatin1Char(' ')))
        throw EDatabaseError(QStringLiteral("金额“%1”不是数字").arg(Amount));
    return Amount;
}

}  // namespace

QString DeptTreeSQL(TAdoConn* Conn, const QString& Prefix, bool DelegatedOnly)
{
    const QString op = ConcatOperator(Conn);
    QString sql = QStringLiteral("select eid,peid,leafflag,ename,eid") + op + QStringLiteral("' '") + op
                  + QStringLiteral("ename as tname  from pubdept  where useflag='0'     and eid like '")
                  + LikePrefix(Conn, Prefix);
    if (DelegatedOnly)
        sql += QStringLiteral(" and replaceflag='0' ");
    return sql;
}

QStringList ChildEntries()
{
    return {
        QStringLiteral("'0'"), QStringLiteral("'控制数'"),
        QStringLiteral("'1' and btype='1' and bkid='21' "), QStringLiteral("'年初预算'"),
        QStringLiteral("'1' and btype='1' and bkid='22' "), QStringLiteral("'结余预算'"),
        QStringLiteral("'2' and btype='1' "), QStringLiteral("'调整追加预算'"),
        QStringLiteral("'2' and btype='2'"), QStringLiteral("'临时数'"),
    };
}

QString SearchedCase(const QString& Expr, const QStringList& Entries)
{
    QString r = QStringLiteral(" CASE  ");
    const int pairs = int(Entries.size()) / 2;
    for (int p = 0; p < pairs; ++p)
        r += QStringLiteral(" WHEN ") + Expr + QStringLiteral("=") + Entries[2 * p] + QStringLiteral(" THEN ")
             + Entries[2 * p + 1] + QStringLiteral(" ");
    if (Entries.size() % 2 == 1)
        r += QStringLiteral(" ELSE ") + Entries.last() + QStringLiteral(" ");
    r += QStringLiteral(" END  ");
    return r;
}

QString ChildExpression(TAdoConn* Conn)
{
    const QString expr = QStringLiteral("btypechild");
    if (DatabaseKind(Conn) == TDbKind::Oracle)
        return SearchedCase(expr, ChildEntries());
    QString result;
    DecodeExpr(Conn, expr, ChildEntries(), result);
    return result;
}

QString RecordQuerySQL(TAdoConn* Conn, const TRecordFilter& f)
{
    QString officeColumns;
    QString conditions;
    if (f.OfficeColumns) {
        officeColumns = QStringLiteral(",burid,burname");
        if (f.OfficeFilter == 1)
            conditions = QStringLiteral(" and burid='") + Q(Conn, f.OfficeCode) + QStringLiteral("'");
    } else {
        officeColumns = QStringLiteral(",'' as burid,'' as burname");
    }
    if (f.Status == TStatusView::Unconfirmed)
        conditions += QStringLiteral(" and status='0' ");
    else if (f.Status == TStatusView::Confirmed)
        conditions += QStringLiteral(" and status='1' ");
    const QString year = QString::number(f.DataYear);

    QString sql;
    if (f.Detail && f.UnitScope.size() > 1) {
        // Over several units the rows of each come in the order of the index, and
        // the database merges them: an OR of the ranges would sort every record
        // before the first row could be shown.
        QStringList parts;
        for (const QString& unit : f.UnitScope) {
            TRecordFilter one = f;
            one.UnitScope.clear();
            one.UnitCode = unit;
            QString part = RecordQuerySQL(Conn, one);
            part.chop(int(qstrlen(DetailOrder)));
            parts << part;
        }
        return parts.join(QStringLiteral(" union all ")) + QLatin1String(DetailOrder);
    }
    if (f.Detail) {
        sql = QStringLiteral(
                  " select 0 as chk,'' as NumId,BudgId,Eid,ecode,ename,Mid,mname,Bid,bname, Iid,iname,BKid,bkname,"
                  "IPid,ipname,Pid,pname,EKid,ekname, BudgMoney,BudgMoney/10000 as BudgMoney_wy ,status,IniBudgId,"
                  "InputDate,filename,secret,issecret,")
              + ChildExpression(Conn) + QStringLiteral(" as child ") + officeColumns
              + QStringLiteral(" from vwbudgetadj ") + QStringLiteral(" where datayear=") + year
              + QStringLiteral(" and ") + UnitCondition(Conn, f) + conditions
              + QStringLiteral(" and  BType='") + Q(Conn, f.BType) + QStringLiteral("' ")
              + QStringLiteral(" and deptclass='") + Q(Conn, f.DeptClass) + QStringLiteral("'")
              + QLatin1String(DetailOrder);
        return sql;
    }
    QString sub;
    SubstrFunctionName(Conn, sub);
    // The database counts characters, as the prefix's length must.
    const QString n = QString::number(UnitPrefixLength(f));
    sql = QStringLiteral(" select 0 as chk,'' as NumId,") + sub + QStringLiteral("(eid,1,") + n
          + QStringLiteral(") as Eid,")
          + QStringLiteral(" '' as ename,Mid,mname,Bid,bname,Iid,iname,BKid,bkname,IPid,ipname,Pid,pname,")
          + QStringLiteral(" sum(BudgMoney) as BudgMoney,sum(BudgMoney)/10000 as BudgMoney_wy ")
          // How many records each row adds up: a write holds the row to them.
          + QStringLiteral(",count(*) as RecCount ")
          + QStringLiteral(" from vwbudgetadj ") + QStringLiteral(" where datayear=") + year
          + QStringLiteral("   and ") + UnitCondition(Conn, f) + conditions
          + QStringLiteral("   and  BType='") + Q(Conn, f.BType) + QStringLiteral("' ")
          + QStringLiteral("   and deptclass='") + Q(Conn, f.DeptClass) + QStringLiteral("'")
          + QStringLiteral(" group by ") + sub + QStringLiteral("(eid,1,") + n + QStringLiteral("),")
          + QStringLiteral("          Mid,mname,Bid,bname,Iid,iname,bkid,bkname,IPid,ipname,Pid,pname ")
          + QStringLiteral(" order by eid,bkid,mid,bid,ipid,pid");
    return sql;
}

bool DeptClassNumber(const QString& Text, QString* Number)
{
    bool ok = false;
    const QString t = Text.trimmed();
    const qlonglong v = t.toLongLong(&ok);
    if (!ok || v < INT32_MIN || v > INT32_MAX)
        return false;
    if (Number)
        *Number = QString::number(v);
    return true;
}

TRecordChange DetailStatusChange(TAdoConn* Conn, const QString& Status, const QString& BudgId, std::int32_t DataYear)
{
    return {QStringLiteral("update BusiBudgetAdj  set status='") + Q(Conn, Status) + QStringLiteral("' "),
            QStringLiteral(" where budgid='") + Q(Conn, BudgId) + QStringLiteral("' ")
                + QStringLiteral(" and datayear=") + QString::number(DataYear)};
}

TRecordChange SummaryStatusChange(TAdoConn* Conn, const QString& Status, std::int32_t DataYear, const QString& BType,
                                  const QString& DeptClass, const TSummaryKey& Key)
{
    return {QStringLiteral("update BusiBudgetAdj  set status='") + Q(Conn, Status) + QStringLiteral("' "),
            QStringLiteral(" where datayear=") + QString::number(DataYear)
                + QStringLiteral("   and  BType='") + Q(Conn, BType) + QStringLiteral("' ")
                + QStringLiteral("   and deptclass='") + Q(Conn, DeptClass) + QStringLiteral("'")
                + SummaryKeyConditions(Conn, Key)};
}

QString SummaryDeleteCondition(TAdoConn* Conn, const QString& BType, const QString& DeptClass,
                               const TSummaryKey& Key)
{
    return QStringLiteral("   and BType='") + Q(Conn, BType) + QStringLiteral("' ")
           + QStringLiteral("   and deptclass='") + Q(Conn, DeptClass) + QStringLiteral("'")
           + SummaryKeyConditions(Conn, Key);
}

QString DetailGuard(TAdoConn* Conn, const TRecordFilter& View, const TSeenRecord& Seen)
{
    const QString year = QString::number(View.DataYear);
    QString s = QStringLiteral(" and status='") + Q(Conn, Seen.Status) + QStringLiteral("'");
    s += QStringLiteral(" and eid='") + Q(Conn, Seen.Eid) + QStringLiteral("'");
    s += QStringLiteral(" and BType='") + Q(Conn, View.BType) + QStringLiteral("'");
    s += QStringLiteral(" and deptclass='") + Q(Conn, View.DeptClass) + QStringLiteral("'");
    if (View.OfficeColumns && View.OfficeFilter == 1)
        s += QStringLiteral(" and burid='") + Q(Conn, View.OfficeCode) + QStringLiteral("'");
    s += Seen.Amount.isEmpty() ? QStringLiteral(" and BudgMoney is null")
                               : QStringLiteral(" and BudgMoney=") + AmountLiteral(Seen.Amount);
    s += QStringLiteral(" and (select count(*) from BusiBudgetAdj where budgid='") + Q(Conn, Seen.BudgId)
         + QStringLiteral("' and datayear=") + year + QStringLiteral(")=1");
    return s;
}

QString SummaryGuard(TAdoConn* Conn, const TRecordFilter& View, const TSummaryKey& Key, int Count,
                     const QString& Amount)
{
    const QString view = ViewConditions(Conn, View);
    const QString records = QStringLiteral(" from BusiBudgetAdj where datayear=") + QString::number(View.DataYear)
                            + QStringLiteral(" and BType='") + Q(Conn, View.BType) + QStringLiteral("'")
                            + QStringLiteral(" and deptclass='") + Q(Conn, View.DeptClass) + QStringLiteral("'")
                            + SummaryKeyConditions(Conn, Key) + view;
    QString s = view;
    s += QStringLiteral(" and (select count(*)") + records + QStringLiteral(")=") + QString::number(Count);
    // The sum as shown, to the cent: amounts added up by the database need not
    // come to the same last digit as the loaded sum.
    s += QStringLiteral(" and (select abs(sum(BudgMoney)-(") + AmountLiteral(Amount.isEmpty() ? QStringLiteral("0") : Amount)
         + QStringLiteral("))") + records + QStringLiteral(")<0.005");
    return s;
}

QString TwinCountSQL(TAdoConn* Conn, const QString& BudgId, std::int32_t DataYear)
{
    return QStringLiteral("select count(*) from BusiBudgetAdj where budgid='") + Q(Conn, BudgId)
           + QStringLiteral("' and datayear=") + QString::number(DataYear);
}

namespace {
// A kind's names, in the order of TRunKind: as the journal spells it, and its verb.
struct TRunNames {
    const char* Action;
    const char* Verb;
};
constexpr TRunNames RunNames[] = {{"confirm", "确认"}, {"cancel", "撤销"}, {"delete", "删除"}, {"undo", "恢复"}};
static_assert(std::size(RunNames) == std::size(RunKinds));
}  // namespace

QString RunAction(TRunKind Kind)
{
    return QLatin1String(RunNames[size_t(Kind)].Action);
}

QString RunVerb(TRunKind Kind)
{
    return QString::fromUtf8(RunNames[size_t(Kind)].Verb);
}

std::optional<TRunKind> RunKindOfAction(const QString& Action)
{
    for (const TRunKind k : RunKinds)
        if (Action == RunAction(k))
            return k;
    return std::nullopt;
}

namespace {
const QLatin1StringView StartMark(":start");
const QLatin1StringView EndMark(":end");
}  // namespace

QString RunMarker(TRunKind Kind, bool End)
{
    return RunAction(Kind) + (End ? EndMark : StartMark);
}

namespace {
const char* const RecordColumns =
    "eid,deptclass,BType,btypechild,mid,bid,iid,bkid,ipid,pid,ekid,IniBudgId,InputDate,filename,secret,issecret,burid";
}

QString JournalInsertSQL(TAdoConn* Conn, const TJournalEntry& e, const QString& Condition)
{
    // A delete keeps the whole record, so that it can be put back; a change of
    // status needs no more than the status and the amount.
    // Every entry names its unit, so that the journal can be searched by unit range.
    const bool whole = e.Kind == TRunKind::Delete;
    const QString columns = QLatin1Char(',') + (whole ? QLatin1String(RecordColumns) : QLatin1String("eid"));
    return QStringLiteral("insert into BusiBudgetAdjLog (RunId,Action,DataYear,BudgId,OldStatus,NewStatus,BudgMoney,"
                          "Operator,Workstation,LoggedAt")
           + columns + QStringLiteral(") select '") + Q(Conn, e.RunId) + QStringLiteral("','")
           + Q(Conn, RunAction(e.Kind)) + QStringLiteral("',datayear,BudgId,status,")
           + (e.NewStatus.isEmpty() ? QStringLiteral("null") : QLatin1Char('\'') + Q(Conn, e.NewStatus) + QLatin1Char('\''))
           + QStringLiteral(",BudgMoney,'") + Q(Conn, e.Operator) + QStringLiteral("','") + Q(Conn, e.Workstation)
           + QStringLiteral("','") + Q(Conn, e.LoggedAt) + QStringLiteral("'") + columns
           + QStringLiteral(" from BusiBudgetAdj") + Condition;
}

QString JournalOfRunSQL(TAdoConn* Conn, const QString& RunId, long long From, long long To)
{
    return QStringLiteral("select BudgId,OldStatus,NewStatus,BudgMoney,DataYear from BusiBudgetAdjLog where LogId>")
           + QString::number(From) + QStringLiteral(" and LogId<=") + QString::number(To) + QStringLiteral(" and RunId='")
           + Q(Conn, RunId) + QStringLiteral("' and Action in ('") + RunAction(TRunKind::Confirm)
           + QStringLiteral("','") + RunAction(TRunKind::Cancel) + QStringLiteral("') order by LogId");
}

QString JournalLastIdSQL()
{
    return QStringLiteral("select coalesce(max(LogId),0) from BusiBudgetAdjLog");
}

QString JournalMarkSQL(TAdoConn* Conn, const TJournalEntry& e, bool End)
{
    return QStringLiteral("insert into BusiBudgetAdjLog (RunId,Action,DataYear,BudgId,Operator,Workstation,LoggedAt) "
                          "values ('")
           + Q(Conn, e.RunId) + QStringLiteral("','") + Q(Conn, RunMarker(e.Kind, End))
           + QStringLiteral("',0,0,'") + Q(Conn, e.Operator)
           + QStringLiteral("','") + Q(Conn, e.Workstation) + QStringLiteral("','") + Q(Conn, e.LoggedAt)
           + QStringLiteral("')");
}

QString JournalRunStartsSQL(TAdoConn* Conn, const QString& Operator, const QString& Workstation)
{
    return QStringLiteral("select LogId,RunId,Action from BusiBudgetAdjLog where BudgId=0 and Operator='")
           + Q(Conn, Operator) + QStringLiteral("' and Workstation='") + Q(Conn, Workstation)
           + QStringLiteral("' and Action like '%") + StartMark + QStringLiteral("' order by LogId desc");
}

QString JournalRunEntriesSQL(TAdoConn* Conn, const QString& RunId, long long After)
{
    return QStringLiteral("select Action,BudgMoney,LogId from BusiBudgetAdjLog where LogId>") + QString::number(After)
           + QStringLiteral(" and RunId='") + Q(Conn, RunId) + QStringLiteral("' order by LogId");
}

QString RecordHistorySQL(const QString& BudgId, std::int32_t DataYear)
{
    return QStringLiteral("select LoggedAt,Operator,Workstation,Action,OldStatus,NewStatus,BudgMoney from "
                          "BusiBudgetAdjLog where DataYear=")
           + QString::number(DataYear) + QStringLiteral(" and BudgId=") + QString::number(BudgId.toLongLong())
           + QStringLiteral(" order by LogId desc");
}

QString JournalProbeSQL()
{
    return QStringLiteral("select count(*) from BusiBudgetAdjLog where 1=0");
}

QStringList JournalTriggerSQL(TAdoConn* Conn, const TJournalEntry& e)
{
    // The run's own values are in the triggers' text: nothing to look up per record.
    // As above, only a delete's entry keeps the whole record; every one its unit.
    auto insert = [&](const QString& NewStatus, bool whole) {
        QString columns, old;
        for (const QString& c : whole ? QString::fromLatin1(RecordColumns).split(QLatin1Char(',')) : QStringList{QStringLiteral("eid")}) {
            columns += QLatin1Char(',') + c;
            old += QStringLiteral(",OLD.") + c;
        }
        return QStringLiteral("INSERT INTO BusiBudgetAdjLog (RunId,Action,DataYear,BudgId,OldStatus,NewStatus,"
                              "BudgMoney,Operator,Workstation,LoggedAt")
               + columns + QStringLiteral(") VALUES ('") + Q(Conn, e.RunId) + QStringLiteral("','")
               + Q(Conn, RunAction(e.Kind)) + QStringLiteral("',OLD.datayear,OLD.BudgId,OLD.status,") + NewStatus + QStringLiteral(",OLD.BudgMoney,'")
               + Q(Conn, e.Operator) + QStringLiteral("','") + Q(Conn, e.Workstation) + QStringLiteral("','")
               + Q(Conn, e.LoggedAt) + QStringLiteral("'") + old + QStringLiteral(");");
    };
    QStringList out = JournalRunEndSQL();
    out << QStringLiteral("CREATE TEMP TRIGGER veltrane_journal_update AFTER UPDATE OF status ON main.BusiBudgetAdj "
                          "BEGIN ")
               + insert(QStringLiteral("NEW.status"), false) + QStringLiteral(" END")
        << QStringLiteral("CREATE TEMP TRIGGER veltrane_journal_delete BEFORE DELETE ON main.BusiBudgetAdj BEGIN ")
               + insert(QStringLiteral("NULL"), true) + QStringLiteral(" END");
    return out;
}

QStringList JournalRunEndSQL()
{
    return {QStringLiteral("DROP TRIGGER IF EXISTS temp.veltrane_journal_update"),
            QStringLiteral("DROP TRIGGER IF EXISTS temp.veltrane_journal_delete")};
}
