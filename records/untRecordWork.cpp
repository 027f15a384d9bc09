#include "records/untRecordWork.h"
#include "budget/gunBudgetAdj.h"
#include "data/untDefData.h"
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
    QString line = QStringLiteral("已%1 %2 条，金额 %3 元").arg(RunVerb(Run.Kind)).arg(Run.Succeeded).arg(MoneyText(Run.SucceededCents));
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
        q.SetCancelFlag(&FCancel);
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

TOutcome TStatusRun::Send(int Row)
{
    const TRecordSet& set = *FRequest.Records;
    const TRecordFilter& view = set.View();
    const bool summary = !set.Detail();
    // A row without what identifies its records is never written: an empty unit
    // code or record number would reach other records.
    if (summary ? set.Key(Row).Eid.isEmpty() : set.BudgId(Row).isEmpty())
        return TError{QStringLiteral("无法确定对应的预算指标")};
    try {
        if (FRequest.Kind == TRunKind::Delete) {
            TBudgetAdj record(nullptr);
            record.DataYear = view.DataYear;
            QString condition;
            if (summary)
                condition = SummaryDeleteCondition(FConn, view.BType, FRequest.DeptClass, set.Key(Row));
            else
                record.BudgId = set.BudgId(Row);
            TBudgetAdjManage manage(nullptr);
            TError error;
            if (!manage.DeleteRecord(&record, condition, &error, FConn))
                return error;
            return std::nullopt;
        }
        const QString status = FRequest.Kind == TRunKind::Confirm ? QStringLiteral("1") : QStringLiteral("0");
        const QString sql = summary ? SummaryStatusSQL(FConn, status, view.DataYear, view.BType, FRequest.DeptClass,
                                                       set.Key(Row))
                                    : DetailStatusSQL(FConn, status, set.BudgId(Row), view.DataYear);
        return ExecOn(FConn, sql);
    } catch (const std::exception& e) {
        return TError::From(e);
    }
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
        const TOutcome failure = Send(row);
        if (!failure) {
            ++r.Succeeded;
            r.SucceededCents += FRequest.Records->AmountCents(row);
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
