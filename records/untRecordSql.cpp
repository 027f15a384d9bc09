#include "records/untRecordSql.h"
#include "data/untDefData.h"
#include "data/untSqlDialect.h"

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

// The key conditions shared by the summary update and the summary delete.
QString SummaryKeyConditions(TAdoConn* Conn, const TSummaryKey& Key)
{
    QString s;
    s += QStringLiteral("   and eid like'") + LikePrefix(Conn, Key.Eid) + QStringLiteral(" ");
    s += QStringLiteral("   and mid ='") + Q(Conn, Key.Mid) + QStringLiteral("' ");
    s += QStringLiteral("   and bkid ='") + Q(Conn, Key.Bkid) + QStringLiteral("' ");
    s += QStringLiteral("   and pid ='") + Q(Conn, Key.Pid) + QStringLiteral("' ");
    s += QStringLiteral("   and ipid ='") + Q(Conn, Key.Ipid) + QStringLiteral("' ");
    s += QStringLiteral("   and bid ='") + Q(Conn, Key.Bid) + QStringLiteral("' ");
    s += QStringLiteral("   and iid ='") + Q(Conn, Key.Iid) + QStringLiteral("' ");
    return s;
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
    if (f.Detail) {
        sql = QStringLiteral(
                  " select 0 as chk,'' as NumId,BudgId,Eid,ecode,ename,Mid,mname,Bid,bname, Iid,iname,BKid,bkname,"
                  "IPid,ipname,Pid,pname,EKid,ekname, BudgMoney,BudgMoney/10000 as BudgMoney_wy ,status,IniBudgId,"
                  "InputDate,filename,secret,issecret,")
              + ChildExpression(Conn) + QStringLiteral(" as child ") + officeColumns
              + QStringLiteral(" from vwbudgetadj ") + QStringLiteral(" where datayear=") + year
              + QStringLiteral(" and eid like '") + LikePrefix(Conn, f.UnitCode) + conditions
              + QStringLiteral(" and  BType='") + Q(Conn, f.BType) + QStringLiteral("' ")
              + QStringLiteral(" and deptclass='") + Q(Conn, f.DeptClass) + QStringLiteral("'")
              + QStringLiteral("order by eid,bkid,mid,bid,ipid,pid");
        return sql;
    }
    QString sub;
    SubstrFunctionName(Conn, sub);
    // The database counts characters, as the prefix's length must.
    const QString n = QString::number(CharacterCount(f.UnitCode));
    sql = QStringLiteral(" select 0 as chk,'' as NumId,") + sub + QStringLiteral("(eid,1,") + n
          + QStringLiteral(") as Eid,")
          + QStringLiteral(" '' as ename,Mid,mname,Bid,bname,Iid,iname,BKid,bkname,IPid,ipname,Pid,pname,")
          + QStringLiteral(" sum(BudgMoney) as BudgMoney,sum(BudgMoney)/10000 as BudgMoney_wy ")
          + QStringLiteral(" from vwbudgetadj ") + QStringLiteral(" where datayear=") + year
          + QStringLiteral("   and eid like '") + LikePrefix(Conn, f.UnitCode) + conditions
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

QString DetailStatusSQL(TAdoConn* Conn, const QString& Status, const QString& BudgId, std::int32_t DataYear)
{
    return QStringLiteral("update BusiBudgetAdj  set status='") + Q(Conn, Status) + QStringLiteral("' ")
           + QStringLiteral(" where budgid='") + Q(Conn, BudgId) + QStringLiteral("' ")
           + QStringLiteral(" and datayear=") + QString::number(DataYear);
}

QString SummaryStatusSQL(TAdoConn* Conn, const QString& Status, std::int32_t DataYear, const QString& BType,
                         const QString& DeptClass, const TSummaryKey& Key)
{
    return QStringLiteral("update BusiBudgetAdj  set status='") + Q(Conn, Status) + QStringLiteral("' ")
           + QStringLiteral(" where datayear=") + QString::number(DataYear)
           + QStringLiteral("   and  BType='") + Q(Conn, BType) + QStringLiteral("' ")
           + QStringLiteral("   and deptclass='") + Q(Conn, DeptClass) + QStringLiteral("'")
           + SummaryKeyConditions(Conn, Key);
}

QString SummaryDeleteCondition(TAdoConn* Conn, const QString& BType, const QString& DeptClass,
                               const TSummaryKey& Key)
{
    return QStringLiteral("   and BType='") + Q(Conn, BType) + QStringLiteral("' ")
           + QStringLiteral("   and deptclass='") + Q(Conn, DeptClass) + QStringLiteral("'")
           + SummaryKeyConditions(Conn, Key);
}
