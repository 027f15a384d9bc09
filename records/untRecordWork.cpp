#include "records/untRecordWork.h"
#include "budget/gunBudgetAdj.h"
#include "data/untDefData.h"
#include "data/untSqlDialect.h"
#include "toolkit/ADODataset.h"
#include "toolkit/Decimal.h"
#include "toolkit/NextGridColumns.h"

#include <QElapsedTimer>

// ---------------------------------------------------------------- words

QString MoneyText(long long Cents)
{
    return FormatNumberMask(QStringLiteral("#,##0.00"), TDecimalSum::CentsText(Cents));
}

QString RunVerb(TRunKind Kind)
{
    return Kind == TRunKind::Confirm ? QStringLiteral("确认")
           : Kind == TRunKind::Cancel ? QStringLiteral("撤销")
                                      : QStringLiteral("删除");
}

QString RunSummary(const TRunReport& Run)
{
    // What the database changed, never what the screen showed.
    QString line = QStringLiteral("已%1 %2 条，金额 %3 元").arg(RunVerb(Run.Kind)).arg(Run.Records).arg(MoneyText(Run.SucceededCents));
    if (Run.Skipped > 0)
        line += QStringLiteral("；%1 条已被他人改动，未修改").arg(Run.Skipped);
    if (Run.Failed > 0)
        line += QStringLiteral("；%1 条失败").arg(Run.Failed);
    if (Run.Cancelled)
        line = QStringLiteral("已取消：") + line + QStringLiteral("；%1 条未处理").arg(Run.NotAttempted());
    else if (Run.Stopped && Run.NotAttempted() > 0)
        line += QStringLiteral("；%1 条未处理").arg(Run.NotAttempted());
    return line;
}

QString RunFailureText(const TRunReport& Run)
{
    if (Run.Failed == 0)
        return {};
    const QString head = Run.Kind == TRunKind::Delete ? QStringLiteral("删除数据失败！。")
                                                       : QStringLiteral("%1预算指标时出错。").arg(RunVerb(Run.Kind));
    QString text = head + QStringLiteral("\n成功 %1 行，失败 %2 行").arg(Run.Succeeded).arg(Run.Failed);
    if (Run.Skipped > 0)
        text += QStringLiteral("，已被他人改动 %1 行（未修改）").arg(Run.Skipped);
    if (Run.NotAttempted() > 0)
        text += QStringLiteral("，未处理 %1 行（保持原状态）").arg(Run.NotAttempted());
    return text + QStringLiteral("。\n错误：") + (Run.FirstError ? Run.FirstError->Message : QString());
}

// ---------------------------------------------------------------- TRecordLoad

TRecordLoad::TRecordLoad(TAdoConn* Conn, QString Sql, TGridLoadPlan Plan, TRecordFilter View, int Gen)
    : Generation(Gen), SQL(std::move(Sql)), FConn(Conn), FPlan(std::move(Plan)), FView(std::move(View))
{
}

TRecordLoad::~TRecordLoad()
{
    Cancel();
    WaitFor();
}

void TRecordLoad::Cancel()
{
    FCancel.store(true);
    FToken.Cancel();
    Terminate();
}

void TRecordLoad::Execute()
{
    if (FCancel.load())
        return;
    try {
        TADOQuery q;
        q.SetConnection(FConn);
        q.SetSQLText(SQL);
        q.SetCancelToken(&FToken);
        // Row by row into the grid's cells and the record set: the query's own
        // result is never held as a whole beside them.
        TGridRowsBuilder cells(FPlan);
        TRecordSetBuilder records(FView);
        q.OpenRows([&] {
            cells.Add(q);
            records.Add(q);
            return !FCancel.load();
        });
        if (FCancel.load())
            return;
        FCells = cells.Finish(false);
        FRecords = records.Finish();
    } catch (const std::exception& e) {
        FFailure = TError::From(e);
    }
}

// ----------------------------------------------------------------- TStatusRun

TStatusRun::TStatusRun(TAdoConn* Conn, TRunRequest Request, TProgress Progress)
    : FConn(Conn), FRequest(std::move(Request)), FProgress(std::move(Progress))
{
    FReport.Kind = FRequest.Kind;
    FReport.Total = Total();
}

TStatusRun::~TStatusRun()
{
    Cancel();
    DiscardQueued();   // the owner deleting a run mid-way is going itself
    WaitFor();
}

int TStatusRun::Send(int Row)
{
    const TRecordSet& set = *FRequest.Records;
    const TRecordFilter& view = set.View();
    const bool summary = !set.Detail();
    // A row without what identifies its records is never written: an empty unit
    // code or record number would reach other records.
    if (summary ? set.Key(Row).Eid.isEmpty() : set.BudgId(Row).isEmpty())
        throw EDatabaseError(QStringLiteral("无法确定对应的预算指标"));
    const TSummaryKey key = summary ? set.Key(Row) : TSummaryKey{};
    // Written only while its records are what the user saw (see DetailGuard, SummaryGuard).
    const QString guard = summary ? SummaryGuard(FConn, view, key, set.RecordCount(Row), set.Amount(Row))
                                  : DetailGuard(FConn, view, {set.BudgId(Row), set.Eid(Row), set.Status(Row), set.Amount(Row)});
    QString sql;
    if (FRequest.Kind == TRunKind::Delete) {
        TBudgetAdj record(nullptr);
        record.DataYear = view.DataYear;
        const QString which = summary ? SummaryDeleteCondition(FConn, view.BType, FRequest.DeptClass, key)
                                      : QStringLiteral(" and BudgId='") + QuotedValue(FConn, set.BudgId(Row))
                                            + QStringLiteral("'");
        sql = BudgetAdjDeleteSQL(record, which + guard, FConn);
    } else {
        const QString status = FRequest.Kind == TRunKind::Confirm ? QStringLiteral("1") : QStringLiteral("0");
        sql = (summary ? SummaryStatusSQL(FConn, status, view.DataYear, view.BType, FRequest.DeptClass, key)
                       : DetailStatusSQL(FConn, status, set.BudgId(Row), view.DataYear))
              + guard;
    }
    const int changed = ExecSQL(FConn, sql, &FToken);
    if (changed == 0 && !summary) {
        // Not written: changed by someone, or a number that stands for several records.
        TADOQuery twins;
        twins.SetConnection(FConn);
        twins.SetSQLText(TwinCountSQL(FConn, set.BudgId(Row), view.DataYear));
        twins.Open();
        if (!twins.Eof() && twins.CellText(0, 0).toInt() > 1)
            throw EDatabaseError(QStringLiteral("编号“%1”在 %2 年度有多条预算指标，无法确定选中的是哪一条")
                                     .arg(set.BudgId(Row))
                                     .arg(view.DataYear));
    }
    return changed;
}

void TStatusRun::Execute()
{
    const int total = Total();
    QElapsedTimer sinceReport;
    sinceReport.start();
    auto report = [this, total](int done) {
        if (!FProgress)
            return;
        TProgress progress = FProgress;
        Queue([progress, done, total] { progress(done, total); });
    };
    TRunReport& r = FReport;
    for (const int row : FRequest.Rows) {
        // The statement in flight always ends; 取消 takes effect before the next.
        if (FCancel.load() || (FRequest.CancelAfter >= 0 && r.Attempted >= FRequest.CancelAfter)) {
            r.Cancelled = true;
            break;
        }
        ++r.Attempted;
        TOutcome failure;
        int changed = 0;
        try {
            changed = Send(row);
        } catch (const std::exception& e) {
            failure = TError::From(e);
        }
        // A statement stopped by 取消 may also end as "busy": its wait gave up.
        if (failure && (failure->Kind == EDatabaseError::Cancelled || FCancel.load())) {
            // 取消 stopped the statement in flight: its row stays as it was.
            --r.Attempted;
            r.Cancelled = true;
            break;
        }
        if (!failure && changed > 0) {
            ++r.Succeeded;
            r.Records += changed;
            r.SucceededCents += FRequest.Records->AmountCents(row);
        } else if (!failure) {
            ++r.Skipped;
        } else {
            ++r.Failed;
            if (!r.FirstError) {
                r.FirstError = *failure;
                if (r.FirstError->Message.isEmpty())
                    r.FirstError->Message = QStringLiteral("数据库操作失败");
            }
            if (failure->Persistent()) {
                r.Stopped = true;
                break;
            }
        }
        if (sinceReport.elapsed() >= 40) {
            sinceReport.restart();
            report(r.Attempted);
        }
    }
    report(r.Attempted);
}
