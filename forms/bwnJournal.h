#pragma once
// 操作日志: the journal of the module's writes, searched by operator, action,
// time, unit range and record, newest first. The entries come a page at a time
// from a worker (the table asks for more as it is scrolled down); export and
// print take every entry of the search, fetched on a worker with progress.
#include "records/untJournalSearch.h"
#include <QDialog>
#include <QList>
#include <QPointer>

class QCheckBox;
class QComboBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;
class TAdoConn;
class TGridOutput;

class TbfrmJournal : public QDialog {
    Q_OBJECT
public:
    // Operator: who prints (制表人); Unit: the unit range the search starts with.
    TbfrmJournal(TAdoConn* Conn, const QString& Operator, const QString& Unit, QWidget* Parent);
    ~TbfrmJournal() override;
    // One journal window per owner: Window, made when there is none, on top.
    static void Show(QPointer<QWidget>& Window, TAdoConn* Conn, const QString& Operator, QWidget* Parent);

    TJournalModel* Model() const { return FModel; }
    // The filter as the controls say it; fails when the record is no whole number.
    TResult<TJournalFilter> ControlsFilter() const;
    void btnSearchClick();

private:
    enum class TOutput { Export, Print };
    void UpdateStatus();
    void StartOutput(TOutput Kind);

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
    TGridOutput* FOutput;
};

// A record's journal entries (as TRecordController::History gives them) in a
// modal table, newest first.
void ShowHistoryDialog(QWidget* Parent, const QString& Title, const QList<QStringList>& Entries);
