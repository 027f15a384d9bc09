#include "forms/untRecordWork.h"
#include "data/untDbManager.h"

#include <QElapsedTimer>

// ---------------------------------------------------------------- TRecordLoad

TRecordLoad::TRecordLoad(TAdoConn* Conn, QString Sql, TGridLoadPlan Plan, int Gen)
    : Generation(Gen), SQL(std::move(Sql)), FConn(Conn), FPlan(std::move(Plan))
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
        q.Open();
        Rows = TNextGridManager::FillRows(FPlan, &q, [this](int, int) { return !FCancel.load(); });
        Opened = !Rows.Stopped;
    } catch (const std::exception& e) {
        Error = QString::fromUtf8(e.what());
    }
}

// ----------------------------------------------------------------- TStatusRun

TStatusRun::TStatusRun(TAdoConn* Conn, std::vector<TRunRow> Rows, TSend Send, int CancelAfter, TProgress Progress)
    : FConn(Conn), FRows(std::move(Rows)), FSend(std::move(Send)), FCancelAfter(CancelAfter),
      FProgress(std::move(Progress))
{
}

TStatusRun::~TStatusRun()
{
    Cancel();
    DiscardQueued();   // the owner deleting a run mid-way is going itself
    WaitFor();
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
    for (const TRunRow& row : FRows) {
        // The statement in flight always ends; 取消 takes effect before the next.
        if (FCancel.load() || (FCancelAfter >= 0 && Attempted >= FCancelAfter)) {
            Cancelled = true;
            break;
        }
        ++Attempted;
        TRunResult r;
        try {
            r = FSend(FConn, row);
        } catch (const EDatabaseError& e) {
            r = {false, e.Message(), e.Persistent()};
        } catch (const std::exception& e) {
            r = {false, QString::fromUtf8(e.what()), false};
        }
        if (r.Ok) {
            ++Succeeded;
            SucceededAmount += row.Amount;
        } else {
            ++Failed;
            if (FirstError.isEmpty())
                FirstError = r.Error.isEmpty() ? QStringLiteral("数据库操作失败") : r.Error;
            if (r.Persistent) {
                Stopped = true;
                break;
            }
        }
        if (sinceReport.elapsed() >= 40) {
            sinceReport.restart();
            report(Attempted);
        }
    }
    report(Attempted);
}
