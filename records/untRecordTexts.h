#pragma once
// The texts the confirmation window shows of the controller's state: its
// questions before a run or an undo, its notices of the journal and of a run left
// unfinished, the status line, and the unit and filters an output is of. The
// window gathers the values from its controls and shows the text.
#include "records/untRecordController.h"
#include <QString>
#include <QStringList>
#include <optional>

// The units the top node covers, as the heading and the status line name them.
QString UnitScopeText(const QStringList& Units);
// The unit and the filters the grid shows, for the heading of printed pages and
// the progress panel. TreeText is the selected node's text (empty: none shown).
QString OutputDetailsText(const QString& Unit, const QString& TreeText, const QString& BudgetType, bool Detail,
                          bool Confirmed);

// Asked before a run of more records than the context's LargeRunRecords.
QString LargeRunQuestion(TRunKind Kind, long long Records, long long Cents);
// What a run over Rows of the controller's record set asks first, if anything:
// a large run (more records than the context's LargeRunRecords) says what it
// would change; a delete asks when the context says so. Large: the question is a
// confirmation of the run, not a notice.
struct TRunQuestion {
    QString Text;
    bool Large = false;
};
std::optional<TRunQuestion> RunQuestion(const TRecordController& Controller, TRunKind Kind, const std::vector<int>& Rows);
QString UndoQuestion(const TRecordController::TLastRun& Last);
// Said once of a database without a usable journal; none when there is nothing to say.
std::optional<QString> JournalNoticeText(TJournalState State);
// The same the first time there is something to say in the process: every window
// would say the same of one database.
std::optional<QString> JournalNoticeOnce(TJournalState State);
// Said of the operator's latest run when it never ended.
QString UnfinishedRunText(const TRecordController::TJournalRun& Run);

QString StatusLineText(const TStatusFacts& Facts);
// The whole line, for a window too narrow to show it, and the ticked sum in capitals.
QString StatusToolTipText(const QString& Line, const TStatusFacts& Facts);
