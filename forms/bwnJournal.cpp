#include "forms/bwnJournal.h"

#include "grid/untGridOutput.h"
#include "toolkit/ExtCtrls.h"
#include "toolkit/NextGridColumns.h"
#include "toolkit/Threads.h"
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QDir>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>
#include <memory>

const QString Title = QStringLiteral("操作日志");

TbfrmJournal::TbfrmJournal(TAdoConn* Conn, const QString& Operator, const QString& Unit, QWidget* Parent)
    : QDialog(Parent), FConn(Conn), FOperator(Operator), FModel(new TJournalModel(Conn, this))
{
    FOutput = new TGridOutput(this, TGridOutput::MessageBoxes(this, Title), {}, this);
    FOutput->ShowProgressDialogs(QStringLiteral("dlgJournalProgress"), Title,
                                 [](int done) { return QStringLiteral("正在读取操作日志… 已有 %1 条").arg(done); });
    setObjectName(QStringLiteral("frmJournal"));
    setWindowTitle(Title);
    setAttribute(Qt::WA_DeleteOnClose);

    const QString all = QStringLiteral("全部");
    FOperatorEdit = NewChild<QLineEdit>(this, QStringLiteral("edtOperator"));
    FOperatorEdit->setPlaceholderText(all);
    FAction = NewChild<QComboBox>(this, QStringLiteral("cobAction"));
    FAction->addItem(all, QString());
    for (const QString& a : TJournalActions::Names())
        FAction->addItem(TJournalActions::Caption(a), a);
    FUseFrom = NewChild<QCheckBox>(this, QStringLiteral("chkFrom"), QStringLiteral("从"));
    FUseTo = NewChild<QCheckBox>(this, QStringLiteral("chkTo"), QStringLiteral("到"));
    FFrom = NewChild<QDateEdit>(this, QStringLiteral("dtpFrom"));
    FFrom->setDate(QDate::currentDate().addMonths(-1));
    FTo = NewChild<QDateEdit>(this, QStringLiteral("dtpTo"));
    FTo->setDate(QDate::currentDate());
    for (auto [use, day] : {std::pair{FUseFrom, FFrom}, std::pair{FUseTo, FTo}}) {
        day->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
        day->setCalendarPopup(true);
        day->setEnabled(false);
        connect(use, &QCheckBox::toggled, day, &QWidget::setEnabled);
    }
    FUnit = NewChild<QLineEdit>(this, QStringLiteral("edtUnit"), Unit);
    FUnit->setPlaceholderText(QStringLiteral("全部（单位编码：该单位及其下级）"));
    FRecord = NewChild<QLineEdit>(this, QStringLiteral("edtRecord"));
    FRecord->setPlaceholderText(all);
    auto* search = NewChild<QPushButton>(this, QStringLiteral("btnSearch"), QStringLiteral("查询"));
    search->setDefault(true);

    FTable = NewChild<QTableView>(this, QStringLiteral("tblJournal"));
    FTable->setModel(FModel);
    FTable->setSelectionBehavior(QAbstractItemView::SelectRows);
    FTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
    FTable->verticalHeader()->setDefaultSectionSize(FTable->fontMetrics().height() + 6);
    FTable->verticalHeader()->hide();
    const TGridSnapshot columns = JournalSnapshot({});
    for (int c = 0; c < FModel->columnCount(); ++c)
        FTable->setColumnWidth(c, columns.Columns[size_t(c)].Width);
    FTable->horizontalHeader()->setStretchLastSection(true);
    FStatus = NewChild<QLabel>(this, QStringLiteral("lblJournalStatus"));
    FExport = NewChild<QPushButton>(this, QStringLiteral("btnExport"), QStringLiteral("导出…"));
    FPrint = NewChild<QPushButton>(this, QStringLiteral("btnPrint"), QStringLiteral("打印…"));
    auto* close = NewChild<QPushButton>(this, QStringLiteral("btnClose"), QStringLiteral("关闭"));

    auto* layout = new QVBoxLayout(this);
    auto* filters = new QGridLayout;
    layout->addLayout(filters);
    AddLabelled(filters, 0, 0, QStringLiteral("操作员："), FOperatorEdit);
    AddLabelled(filters, 0, 2, QStringLiteral("操作："), FAction);
    AddLabelled(filters, 0, 4, QStringLiteral("单位："), FUnit);
    AddLabelled(filters, 1, 0, QStringLiteral("时间："), NewRow({FUseFrom, FFrom, FUseTo, FTo}), 3);
    AddLabelled(filters, 1, 4, QStringLiteral("预算指标："), FRecord);
    filters->addWidget(search, 0, 6, 2, 1);
    layout->addWidget(FTable, 1);
    QHBoxLayout* bottom = NewRow({FStatus, FExport, FPrint, close});
    bottom->setStretch(0, 1);
    layout->addLayout(bottom);
    resize(960, 560);

    connect(search, &QPushButton::clicked, this, [this] { btnSearchClick(); });
    for (QLineEdit* e : {FOperatorEdit, FUnit, FRecord})
        connect(e, &QLineEdit::returnPressed, this, [this] { btnSearchClick(); });
    connect(FModel, &TJournalModel::pageFetched, this, [this] { UpdateStatus(); });
    connect(FExport, &QPushButton::clicked, this, [this] { StartOutput(TOutput::Export); });
    connect(FPrint, &QPushButton::clicked, this, [this] { StartOutput(TOutput::Print); });
    connect(close, &QPushButton::clicked, this, &QDialog::close);
    connect(FOutput, &TGridOutput::started, this, [this] { UpdateStatus(); });
    connect(FOutput, &TGridOutput::ended, this, [this] { UpdateStatus(); });
    btnSearchClick();
}

TbfrmJournal::~TbfrmJournal() { FOutput->Abandon(); }

void TbfrmJournal::Show(QPointer<QWidget>& Window, TAdoConn* Conn, const QString& Operator, QWidget* Parent)
{
    if (!Window)
        Window = new TbfrmJournal(Conn, Operator, QString(), Parent);
    Window->show();
    Window->raise();
    Window->activateWindow();
}

TResult<TJournalFilter> TbfrmJournal::ControlsFilter() const
{
    return TJournalFilter::FromFields(FOperatorEdit->text(), FAction->currentData().toString(),
                                      FUseFrom->isChecked() ? FFrom->date() : QDate(),
                                      FUseTo->isChecked() ? FTo->date() : QDate(), FUnit->text(), FRecord->text());
}

void TbfrmJournal::btnSearchClick()
{
    const TResult<TJournalFilter> f = ControlsFilter();
    if (!f) {
        FStatus->setText(f.Error().Message);
        FRecord->setFocus();
        return;
    }
    FModel->Search(f.Value());
    UpdateStatus();
}

void TbfrmJournal::UpdateStatus()
{
    FStatus->setText(FModel->StatusText());
    const bool some = !FOutput->Busy() && FModel->Count() > 0;
    FExport->setEnabled(some);
    FPrint->setEnabled(some);
}

void TbfrmJournal::StartOutput(TOutput Kind)
{
    if (FOutput->Busy())
        return;
    QString file;
    if (Kind == TOutput::Export) {
        file = FOutput->ChooseFile({QStringLiteral("导出操作日志"), QStringLiteral("dlgJournalExport"), QStringLiteral("操作日志.xlsx"),
                                    {TGridOutput::XlsxFilter(), TGridOutput::CsvFilter(), QStringLiteral("PDF 文件 (*.pdf)")}});
        if (file.isEmpty())
            return;
    }
    // Every entry of the search, on a worker: written to the file, or fetched for the preview.
    const TJournalFilter filter = FModel->Filter();
    auto rows = std::make_shared<std::vector<TJournalRow>>();
    FOutput->RunResult<TOutputEnd>(
        QStringLiteral("正在读取操作日志…"),
        [conn = FConn, filter, file, op = FOperator, rows](TBackgroundTask& t) -> TResult<TOutputEnd> {
            if (!file.isEmpty())
                return WriteJournal(conn, filter, file, op, t.Going());
            TResult<std::vector<TJournalRow>> fetched = FetchJournal(conn, filter, t.Going());
            if (!fetched)
                return JournalReadFailed(fetched.Error());
            *rows = fetched.Take();
            return t.Cancelled() ? TOutputEnd::Cancelled : TOutputEnd::Done;
        },
        [this, rows, file, filter](TResult<TOutputEnd> end) {
            if (!end)
                QMessageBox::warning(this, Title, end.Error().Message);
            else if (end.Value() == TOutputEnd::Done && !file.isEmpty())
                FStatus->setText(QStringLiteral("操作日志已导出到：%1").arg(QDir::toNativeSeparators(file)));
            else if (end.Value() == TOutputEnd::Done)
                FOutput->Preview(JournalSnapshot(*rows), JournalHeading(filter, FOperator));
        });
}

void ShowHistoryDialog(QWidget* Parent, const QString& Title, const QList<QStringList>& Entries)
{
    QList<QStringList> rows;
    for (const QStringList& entry : Entries) {
        rows << HistoryCells(entry);
        rows.back()[6] = FormatNumberMask(QStringLiteral("#,##0.00"), rows.back()[6]);
    }
    ShowTableDialog(Parent, {QStringLiteral("dlgHistory"), QStringLiteral("tblHistory")}, Title,
                    {QStringLiteral("时间"), QStringLiteral("操作员"), QStringLiteral("工作站"), QStringLiteral("操作"),
                     QStringLiteral("原状态"), QStringLiteral("新状态"), QStringLiteral("金额(元)")},
                    rows, QStringLiteral("这条预算指标还没有操作记录。"), {720, 360});
}
