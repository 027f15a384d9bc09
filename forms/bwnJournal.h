#pragma once
// 操作日志: the journal of the module's writes, searched by operator, action,
// time, unit range and record, newest first. The entries come a page at a time
// from a worker (the table asks for more as it is scrolled down); export and
// print take every entry of the search, fetched on a worker with progress.
#include "grid/untGridExport.h"
#include "records/untJournalSearch.h"
#include <QDialog>

class QCheckBox;
class QComboBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QProgressDialog;
class QPushButton;
class QTableView;
class TAdoConn;
class TBackgroundTask;

class TbfrmJournal : public QDialog {
    Q_OBJECT
public:
    // Operator: who prints (制表人); Unit: the unit range the search starts with.
    TbfrmJournal(TAdoConn* Conn, const QString& Operator, const QString& Unit, QWidget* Parent);
    ~TbfrmJournal() override;

    TJournalModel* Model() const { return FModel; }
    // The filter as the controls say it.
    TJournalFilter ControlsFilter() const;
    void btnSearchClick();

private:
    enum class TOutput { Export, Print };
    void UpdateStatus();
    void StartOutput(TOutput Kind);
    void OutputDone();

    TAdoConn* FConn;
    QString FOperator;
    TJournalModel* FModel;
    QLineEdit* FOperatorEdit;
    QComboBox* FAction;
    QCheckBox* FUseFrom;
    QCheckBox* FUseTo;
    QDateEdit* FFrom;
    QDateEdit* FTo;
    QLineEdit* FUnit;
    QLineEdit* FRecord;
    QTableView* FTable;
    QLabel* FStatus;
    QPushButton* FExport;
    QPushButton* FPrint;
    TBackgroundTask* FTask = nullptr;
    QProgressDialog* FProgress = nullptr;
    QString FTaskFile;
    QString FTaskError;
    bool FTaskCancelled = false;
};

// Every entry of a filter written to a file (.xlsx, .csv or .pdf by its
// extension) on the calling thread, with the journal's heading; empty on
// success, else why not. Progress (entries fetched) returning false stops it.
QString WriteJournal(TAdoConn* Conn, const TJournalFilter& Filter, const QString& File, const QString& Operator,
                     const std::function<bool(int Done)>& Progress = {});
