#include "records/untJournalSearch.h"

#include "data/untDbManager.h"
#include "data/untSqlDialect.h"
#include "grid/untGridPrint.h"
#include "records/untRecordWork.h"
#include "toolkit/ADODB.h"
#include "toolkit/NextGridColumns.h"
#include "toolkit/Threads.h"
#include <QDateTime>
#include <QFileInfo>
#include <algorithm>

// ------------------------------------------------------------------ words

const QStringList& TJournalActions::Names()
{
    static const QStringList names = [] {
        QStringList n;
        for (const TRunKind k : RunKinds)
            n << RunAction(k);
        return n;
    }();
    return names;
}

QString TJournalActions::Caption(const QString& Action)
{
    const std::optional<TRunKind> kind = RunKindOfAction(Action);
    if (!kind)
        return Action;
    // An undo's entries are read as what the user asked for, not as its verb (恢复).
    return *kind == TRunKind::Undo ? QStringLiteral("撤销上次操作") : RunVerb(*kind);
}

QString JournalStatusName(const QString& Status)
{
    if (Status.isEmpty())
        return QStringLiteral("（已删除）");
    return Status == QLatin1String("1") ? QStringLiteral("已确认")
           : Status == QLatin1String("0") ? QStringLiteral("未确认")
                                          : Status;
}

QString JournalLocalTime(const QString& Utc)
{
    const QDateTime t = QDateTime::fromString(Utc, Qt::ISODateWithMs);
    return t.isValid() ? t.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) : Utc;
}

QString NoJournalText() { return QStringLiteral("数据库中没有可读的操作日志表（BusiBudgetAdjLog）"); }

TError JournalReadFailed(const TError& Error)
{
    return TError{QStringLiteral("无法读取操作日志：%1").arg(AdvisedMessage(Error)), Error.Kind};
}

TResult<QStringList> FetchJournalLines(TAdoConn* Conn, const QStringList& Words,
                                       const std::function<bool(int Done)>& Progress)
{
    const TResult<TJournalFilter> filter = TJournalFilter::Parse(Words);
    if (!filter)
        return filter.Error();
    if (ProbeJournal(Conn).State != TJournalState::Present)
        return TError{NoJournalText()};
    const TResult<std::vector<TJournalRow>> rows = FetchJournal(Conn, filter.Value(), Progress);
    if (!rows)
        return JournalReadFailed(rows.Error());
    QStringList lines;
    for (const TJournalRow& r : rows.Value())
        lines << QStringList{QString::number(r.LogId), JournalLocalTime(r.LoggedAt), r.Operator, r.Workstation, r.Action,
                             r.DataYear, r.BudgId, r.Eid, r.OldStatus, r.NewStatus, r.BudgMoney}
                     .join(QLatin1Char('\t'));
    return lines;
}

TGridPrintHeading JournalHeading(const TJournalFilter& Filter, const QString& Operator)
{
    return {QStringLiteral("操作日志"), Filter.Describe(), QString(), Operator, {}};
}

TResult<TOutputEnd> WriteJournal(TAdoConn* Conn, const TJournalFilter& Filter, const QString& File,
                                 const QString& Operator, const std::function<bool(int)>& Progress)
{
    const bool pdf = QFileInfo(File).suffix().compare(QLatin1String("pdf"), Qt::CaseInsensitive) == 0;
    if (!pdf && ExportFormatOf(File) == TExportFormat::Unknown)
        return TError{QStringLiteral("不支持的文件类型“%1”：请选择 .xlsx、.csv 或 .pdf 文件").arg(QFileInfo(File).suffix())};
    bool stopped = false;
    const TResult<std::vector<TJournalRow>> rows = FetchJournal(Conn, Filter, [&](int done) {
        stopped = Progress && !Progress(done);
        return !stopped;
    });
    if (!rows)
        return JournalReadFailed(rows.Error());
    if (stopped)
        return TOutputEnd::Cancelled;
    const TGridSnapshot snapshot = JournalSnapshot(rows.Value());
    if (pdf)
        return PrintGridToPdf(snapshot, JournalHeading(Filter, Operator), File);
    return ExportGrid(snapshot, File, {}, JournalHeading(Filter, Operator));
}

TResult<> WriteJournal(TAdoConn* Conn, const QStringList& Words, const QString& File, const QString& Operator,
                       const std::function<bool(int)>& Progress)
{
    const TResult<TJournalFilter> filter = TJournalFilter::Parse(Words);
    if (!filter)
        return filter.Error();
    if (ProbeJournal(Conn).State != TJournalState::Present)
        return TError{NoJournalText()};
    if (const TResult<TOutputEnd> written = WriteJournal(Conn, filter.Value(), File, Operator, Progress); !written)
        return written.Error();
    return {};
}

QStringList HistoryCells(const QStringList& Entry)
{
    return {JournalLocalTime(Entry.value(0)), Entry.value(1), Entry.value(2), TJournalActions::Caption(Entry.value(3)),
            JournalStatusName(Entry.value(4)), JournalStatusName(Entry.value(5)), Entry.value(6)};
}

QString HistoryLine(const QStringList& Entry)
{
    QStringList cells = HistoryCells(Entry);
    const QString newStatus = cells.takeAt(5);
    cells[4] += QStringLiteral("→") + newStatus;
    return cells.join(QLatin1Char('\t'));
}

QStringList HistoryLines(const QList<QStringList>& Entries)
{
    QStringList lines;
    for (const QStringList& e : Entries)
        lines << HistoryLine(e);
    return lines;
}

// ------------------------------------------------------------------ filter

namespace {

// A record's number goes into the statement as a number.
TResult<> CheckRecordNumber(const QString& Value)
{
    bool number = false;
    Value.toLongLong(&number);
    if (number)
        return {};
    return TError{QStringLiteral("预算指标编号“%1”不是整数").arg(Value)};
}

}  // namespace

TResult<TJournalFilter> TJournalFilter::Parse(const QStringList& Words)
{
    TJournalFilter f;
    for (qsizetype i = 0; i < Words.size(); i += 2) {
        const QString& key = Words[i];
        if (i + 1 >= Words.size())
            return TError{QStringLiteral("“%1”后缺少值").arg(key)};
        const QString& value = Words[i + 1];
        auto day = [&](QDate* d) {
            *d = QDate::fromString(value, QStringLiteral("yyyy-MM-dd"));
            return d->isValid();
        };
        auto badDay = [&] { return TError{QStringLiteral("日期“%1”无效，应为 YYYY-MM-DD").arg(value)}; };
        if (key == QLatin1String("operator")) {
            f.Operator = value;
        } else if (key == QLatin1String("action")) {
            if (!TJournalActions::Names().contains(value))
                return TError{QStringLiteral("操作“%1”无效，应为 %2").arg(value, TJournalActions::Names().join(QLatin1Char('|')))};
            f.Action = value;
        } else if (key == QLatin1String("from")) {
            if (!day(&f.From))
                return badDay();
        } else if (key == QLatin1String("to")) {
            if (!day(&f.To))
                return badDay();
        } else if (key == QLatin1String("unit")) {
            f.Unit = value;
        } else if (key == QLatin1String("record")) {
            if (const TResult<> checked = CheckRecordNumber(value); !checked)
                return checked.Error();
            f.BudgId = value;
        } else {
            return TError{QStringLiteral("无法识别的条件“%1”（operator、action、from、to、unit、record）").arg(key)};
        }
    }
    return f;
}

TResult<TJournalFilter> TJournalFilter::FromFields(const QString& Operator, const QString& Action, QDate From, QDate To,
                                                   const QString& Unit, const QString& BudgId)
{
    const TJournalFilter f{Operator.trimmed(), Action, From, To, Unit.trimmed(), BudgId.trimmed()};
    if (!f.BudgId.isEmpty())
        if (const TResult<> checked = CheckRecordNumber(f.BudgId); !checked)
            return checked.Error();
    return f;
}

QString TJournalFilter::Describe() const
{
    QStringList parts;
    if (!Operator.isEmpty())
        parts << QStringLiteral("操作员：") + Operator;
    if (!Action.isEmpty())
        parts << QStringLiteral("操作：") + TJournalActions::Caption(Action);
    if (From.isValid() || To.isValid())
        parts << QStringLiteral("时间：%1 至 %2")
                     .arg(From.isValid() ? From.toString(Qt::ISODate) : QStringLiteral("最早"),
                          To.isValid() ? To.toString(Qt::ISODate) : QStringLiteral("最新"));
    if (!Unit.isEmpty())
        parts << QStringLiteral("单位：") + Unit;
    if (!BudgId.isEmpty())
        parts << QStringLiteral("预算指标：") + BudgId;
    return parts.isEmpty() ? QStringLiteral("全部操作") : parts.join(QStringLiteral("　"));
}

// ------------------------------------------------------------------ statements

namespace {

QString Q(TAdoConn* Conn, const QString& Value) { return QuotedValue(Conn, Value); }

// The start of a user's day as the journal keeps times (UTC, ISO with milliseconds).
QString UtcOfDay(const QDate& Day)
{
    return QDateTime(Day, QTime(0, 0), Qt::LocalTime)
        .toUTC()
        .toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzzZ"));
}

}  // namespace

QString JournalSearchSQL(TAdoConn* Conn, const TJournalFilter& F, long long Before, int Limit)
{
    QString where;
    if (F.Action.isEmpty()) {
        // The run's start and end markers are no entries of a record.
        QStringList names;
        for (const QString& a : TJournalActions::Names())
            names << QLatin1Char('\'') + a + QLatin1Char('\'');
        where = QStringLiteral(" where Action in (") + names.join(QLatin1Char(',')) + QLatin1Char(')');
    } else {
        where = QStringLiteral(" where Action='") + Q(Conn, F.Action) + QLatin1Char('\'');
    }
    if (Before > 0)
        where += QStringLiteral(" and LogId<") + QString::number(Before);
    if (!F.Operator.isEmpty())
        where += QStringLiteral(" and Operator='") + Q(Conn, F.Operator) + QLatin1Char('\'');
    if (!F.BudgId.isEmpty())
        where += QStringLiteral(" and BudgId=") + QString::number(F.BudgId.toLongLong());
    if (F.From.isValid())
        where += QStringLiteral(" and LoggedAt>='") + UtcOfDay(F.From) + QLatin1Char('\'');
    if (F.To.isValid())
        where += QStringLiteral(" and LoggedAt<'") + UtcOfDay(F.To.addDays(1)) + QLatin1Char('\'');
    if (!F.Unit.isEmpty()) {
        // Entries name their unit; older ones of a status change do not, and are
        // found by their record.
        const QString prefix = Q(Conn, F.Unit) + QStringLiteral("%'");
        where += QStringLiteral(" and (eid like '") + prefix
                 + QStringLiteral(" or (eid is null and exists (select 1 from BusiBudgetAdj b where "
                                  "b.datayear=BusiBudgetAdjLog.DataYear and b.BudgId=BusiBudgetAdjLog.BudgId and "
                                  "b.eid like '")
                 + prefix + QStringLiteral(")))");
    }
    const QString columns =
        QStringLiteral("LogId,LoggedAt,Operator,Workstation,Action,DataYear,BudgId,eid,OldStatus,NewStatus,BudgMoney");
    const QString n = QString::number(qMax(1, Limit));
    switch (DatabaseKind(Conn)) {
    case TDbKind::SqlServer:
    case TDbKind::Access:
        return QStringLiteral("select top ") + n + QLatin1Char(' ') + columns + QStringLiteral(" from BusiBudgetAdjLog")
               + where + QStringLiteral(" order by LogId desc");
    case TDbKind::Oracle:
        return QStringLiteral("select ") + columns + QStringLiteral(" from BusiBudgetAdjLog") + where
               + QStringLiteral(" order by LogId desc fetch first ") + n + QStringLiteral(" rows only");
    default:
        return QStringLiteral("select ") + columns + QStringLiteral(" from BusiBudgetAdjLog") + where
               + QStringLiteral(" order by LogId desc limit ") + n;
    }
}

TResult<std::vector<TJournalRow>> FetchJournalPage(TAdoConn* Conn, const TJournalFilter& Filter, long long Before,
                                                   int Limit)
{
    std::vector<TJournalRow> rows;
    try {
        TADOQuery q;
        q.SetConnection(Conn);
        q.SetSQLText(JournalSearchSQL(Conn, Filter, Before, Limit));
        q.Open();
        rows.reserve(size_t(q.RecordCount()));
        for (int r = 0; r < q.RecordCount(); ++r) {
            auto text = [&](int c) { return q.CellText(r, c).toString(); };
            TJournalRow row;
            row.LogId = text(0).toLongLong();
            row.LoggedAt = text(1);
            row.Operator = text(2);
            row.Workstation = text(3);
            row.Action = text(4);
            row.DataYear = text(5);
            row.BudgId = text(6);
            row.Eid = text(7);
            row.OldStatus = text(8);
            row.NewStatus = text(9);
            row.BudgMoney = text(10);
            rows.push_back(std::move(row));
        }
    } catch (const std::exception& e) {
        return TError::From(e);
    }
    return rows;
}

TResult<std::vector<TJournalRow>> FetchJournal(TAdoConn* Conn, const TJournalFilter& Filter,
                                               const std::function<bool(int)>& Progress)
{
    constexpr int page = 5000;
    std::vector<TJournalRow> all;
    long long before = 0;
    for (;;) {
        TResult<std::vector<TJournalRow>> fetched = FetchJournalPage(Conn, Filter, before, page);
        if (!fetched)
            return fetched.Error();
        std::vector<TJournalRow> rows = fetched.Take();
        const bool last = int(rows.size()) < page;
        if (!rows.empty())
            before = rows.back().LogId;
        std::move(rows.begin(), rows.end(), std::back_inserter(all));
        if (Progress && !Progress(int(all.size())))
            return all;
        if (last)
            return all;
    }
}

namespace {

struct JournalColumn {
    const char* Name;
    const char* Caption;
    int Width;
    bool Number;
};
constexpr JournalColumn kColumns[] = {
    {"loggedat", "时间", 140, false},  {"operator", "操作员", 90, false}, {"workstation", "工作站", 90, false},
    {"action", "操作", 90, false},     {"datayear", "年度", 50, false},   {"budgid", "预算指标", 80, false},
    {"eid", "单位", 80, false},        {"oldstatus", "原状态", 70, false}, {"newstatus", "新状态", 70, false},
    {"budgmoney", "金额(元)", 110, true},
};
constexpr int kColumnCount = int(std::size(kColumns));

QString Cell(const TJournalRow& r, int Column)
{
    switch (Column) {
    case 0: return JournalLocalTime(r.LoggedAt);
    case 1: return r.Operator;
    case 2: return r.Workstation;
    case 3: return TJournalActions::Caption(r.Action);
    case 4: return r.DataYear;
    case 5: return r.BudgId;
    case 6: return r.Eid;
    case 7: return JournalStatusName(r.OldStatus);
    case 8: return JournalStatusName(r.NewStatus);
    default: return r.BudgMoney;
    }
}

const QString MoneyMask = QStringLiteral("#,##0.00");

}  // namespace

TGridSnapshot JournalSnapshot(const std::vector<TJournalRow>& Rows)
{
    TGridSnapshot s;
    s.Cells = TNxCellStore(kColumnCount);
    for (int c = 0; c < kColumnCount; ++c) {
        TGridSnapshot::Column column;
        column.Index = c;
        column.Name = QString::fromLatin1(kColumns[c].Name);
        column.Caption = QString::fromUtf8(kColumns[c].Caption);
        column.HeaderAlignment = Qt::AlignCenter;
        column.Alignment = kColumns[c].Number ? Qt::AlignRight : Qt::AlignLeft;
        column.Number = kColumns[c].Number;
        column.FormatMask = kColumns[c].Number ? MoneyMask : QString();
        column.Width = kColumns[c].Width;
        s.Columns.push_back(column);
    }
    s.Cells.AddRows(int(Rows.size()));
    s.Rows.reserve(Rows.size());
    for (int r = 0; r < int(Rows.size()); ++r) {
        for (int c = 0; c < kColumnCount; ++c)
            s.Cells.SetText(c, r, Cell(Rows[size_t(r)], c));
        s.Rows.push_back(r);
    }
    return s;
}

// ------------------------------------------------------------------ model

class TJournalFetch : public TThread {
public:
    TJournalFetch(TAdoConn* Conn, TJournalFilter Filter, long long Before, int Limit, int Generation)
        : Generation(Generation), Limit(Limit), FConn(Conn), FFilter(std::move(Filter)), FBefore(Before)
    {
    }
    ~TJournalFetch() override
    {
        Terminate();
        WaitFor();
    }

    const int Generation;
    const int Limit;
    TResult<std::vector<TJournalRow>> Rows{std::vector<TJournalRow>{}};

protected:
    void Execute() override { Rows = FetchJournalPage(FConn, FFilter, FBefore, Limit); }

private:
    TAdoConn* FConn;
    TJournalFilter FFilter;
    long long FBefore;
};

TJournalModel::TJournalModel(TAdoConn* Conn, QObject* Parent) : QAbstractTableModel(Parent), FConn(Conn) {}

TJournalModel::~TJournalModel()
{
    if (FFetch) {
        FFetch->OnTerminate = nullptr;
        delete FFetch;
    }
}

void TJournalModel::Search(const TJournalFilter& Filter)
{
    beginResetModel();
    FFilter = Filter;
    FRows.clear();
    FRows.shrink_to_fit();
    FAtEnd = false;
    FLastFetch = {};
    FFirstMs = -1;
    endResetModel();
    FSince.start();
    Start(0, FirstPage);
}

void TJournalModel::Start(long long Before, int Limit)
{
    // A search given up on ends on its own; what it finds is dropped.
    if (FFetch) {
        FFetch->OnTerminate = [](TThread*) {};
        FFetch->FreeOnTerminate = true;
        FFetch->Terminate();
        FFetch = nullptr;
    }
    FFetch = new TJournalFetch(FConn, FFilter, Before, Limit, ++FGeneration);
    FFetch->OnTerminate = [this](TThread* t) { Finished(static_cast<TJournalFetch*>(t)); };
    FFetch->Resume();
}

void TJournalModel::Finished(TJournalFetch* Fetch)
{
    Fetch->OnTerminate = nullptr;
    Fetch->deleteLater();
    if (Fetch != FFetch || Fetch->Generation != FGeneration)
        return;
    FFetch = nullptr;
    if (!Fetch->Rows) {
        FLastFetch = Fetch->Rows.Error();
        FAtEnd = true;
    } else {
        FLastFetch = {};
        std::vector<TJournalRow>& rows = Fetch->Rows.Value();
        FAtEnd = int(rows.size()) < Fetch->Limit;
        if (!rows.empty()) {
            beginInsertRows({}, Count(), Count() + int(rows.size()) - 1);
            std::move(rows.begin(), rows.end(), std::back_inserter(FRows));
            endInsertRows();
        }
        if (FFirstMs < 0)
            FFirstMs = FSince.elapsed();
    }
    emit pageFetched();
}

int TJournalModel::rowCount(const QModelIndex& Parent) const { return Parent.isValid() ? 0 : Count(); }

int TJournalModel::columnCount(const QModelIndex& Parent) const { return Parent.isValid() ? 0 : kColumnCount; }

QVariant TJournalModel::data(const QModelIndex& Index, int Role) const
{
    if (!Index.isValid() || Index.row() >= Count())
        return {};
    const bool money = kColumns[Index.column()].Number;
    if (Role == Qt::TextAlignmentRole)
        return QVariant::fromValue(Qt::Alignment((money ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter));
    if (Role != Qt::DisplayRole)
        return {};
    const QString text = Cell(FRows[size_t(Index.row())], Index.column());
    return money ? FormatNumberMask(MoneyMask, text) : text;
}

QVariant TJournalModel::headerData(int Section, Qt::Orientation Orientation, int Role) const
{
    if (Orientation != Qt::Horizontal || Role != Qt::DisplayRole || Section < 0 || Section >= kColumnCount)
        return QAbstractTableModel::headerData(Section, Orientation, Role);
    return QString::fromUtf8(kColumns[Section].Caption);
}

QString TJournalModel::StatusText() const
{
    const int n = Count();
    if (!FLastFetch)
        return JournalReadFailed(FLastFetch.Error()).Message;
    if (Fetching())
        return QStringLiteral("正在加载… 已有 %1 条").arg(n);
    if (!FAtEnd)
        return QStringLiteral("已显示最近的 %1 条，向下滚动显示更多").arg(n);
    return n == 0 ? QStringLiteral("没有符合条件的操作记录") : QStringLiteral("共 %1 条").arg(n);
}

bool TJournalModel::canFetchMore(const QModelIndex& Parent) const
{
    return !Parent.isValid() && !FAtEnd && !FFetch;
}

void TJournalModel::fetchMore(const QModelIndex& Parent)
{
    if (!canFetchMore(Parent))
        return;
    Start(FRows.empty() ? 0 : FRows.back().LogId, NextPage);
}
