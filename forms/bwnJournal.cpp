#include "forms/bwnJournal.h"

#include "grid/untGridOutput.h"
#include "toolkit/Forms.h"
#include "toolkit/NextGridColumns.h"
#include "toolkit/Threads.h"
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QDir>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>
#include <QTableView>
#include <QTableWidget>
#include <QVBoxLayout>
#include <memory>

namespace {

const QString Title = QStringLiteral("操作日志");

}  // namespace

TbfrmJournal::TbfrmJournal(TAdoConn* Conn, const QString& Operator, const QString& Unit, QWidget* Parent)
    : QDialog(Parent), FConn(Conn), FOperator(Operator), FModel(new TJournalModel(Conn, this))
{
    FOutput = new TGridOutput(
        this,
        [this](const QString& text, int flags) {
            if ((flags & MB_YESNO) == MB_YESNO)
                return QMessageBox::question(this, Title, text) == QMessageBox::Yes ? int(IDYES) : int(IDNO);
            QMessageBox::warning(this, Title, text);
            return int(IDOK);
        },
        {}, this);
    setObjectName(QStringLiteral("frmJournal"));
    setWindowTitle(Title);
    setAttribute(Qt::WA_DeleteOnClose);

    FOperatorEdit = new QLineEdit(this);
    FOperatorEdit->setObjectName(QStringLiteral("edtOperator"));
    FOperatorEdit->setPlaceholderText(QStringLiteral("全部"));
    FAction = new QComboBox(this);
    FAction->setObjectName(QStringLiteral("cobAction"));
    FAction->addItem(QStringLiteral("全部"), QString());
    for (const QString& a : TJournalActions::Names())
        FAction->addItem(TJournalActions::Caption(a), a);
    FUseFrom = new QCheckBox(QStringLiteral("从"), this);
    FUseFrom->setObjectName(QStringLiteral("chkFrom"));
    FUseTo = new QCheckBox(QStringLiteral("到"), this);
    FUseTo->setObjectName(QStringLiteral("chkTo"));
    FFrom = new QDateEdit(QDate::currentDate().addMonths(-1), this);
    FFrom->setObjectName(QStringLiteral("dtpFrom"));
    FTo = new QDateEdit(QDate::currentDate(), this);
    FTo->setObjectName(QStringLiteral("dtpTo"));
    for (QDateEdit* d : {FFrom, FTo}) {
        d->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
        d->setCalendarPopup(true);
        d->setEnabled(false);
    }
    connect(FUseFrom, &QCheckBox::toggled, FFrom, &QWidget::setEnabled);
    connect(FUseTo, &QCheckBox::toggled, FTo, &QWidget::setEnabled);
    FUnit = new QLineEdit(Unit, this);
    FUnit->setObjectName(QStringLiteral("edtUnit"));
    FUnit->setPlaceholderText(QStringLiteral("全部（单位编码：该单位及其下级）"));
    FRecord = new QLineEdit(this);
    FRecord->setObjectName(QStringLiteral("edtRecord"));
    FRecord->setPlaceholderText(QStringLiteral("全部"));
    auto* search = new QPushButton(QStringLiteral("查询"), this);
    search->setObjectName(QStringLiteral("btnSearch"));
    search->setDefault(true);

    auto* filters = new QGridLayout;
    filters->addWidget(new QLabel(QStringLiteral("操作员："), this), 0, 0);
    filters->addWidget(FOperatorEdit, 0, 1);
    filters->addWidget(new QLabel(QStringLiteral("操作："), this), 0, 2);
    filters->addWidget(FAction, 0, 3);
    filters->addWidget(new QLabel(QStringLiteral("单位："), this), 0, 4);
    filters->addWidget(FUnit, 0, 5);
    filters->addWidget(new QLabel(QStringLiteral("时间："), this), 1, 0);
    auto* time = new QHBoxLayout;
    time->addWidget(FUseFrom);
    time->addWidget(FFrom);
    time->addWidget(FUseTo);
    time->addWidget(FTo);
    filters->addLayout(time, 1, 1, 1, 3);
    filters->addWidget(new QLabel(QStringLiteral("预算指标："), this), 1, 4);
    filters->addWidget(FRecord, 1, 5);
    filters->addWidget(search, 0, 6, 2, 1);

    FTable = new QTableView(this);
    FTable->setObjectName(QStringLiteral("tblJournal"));
    FTable->setModel(FModel);
    FTable->setSelectionBehavior(QAbstractItemView::SelectRows);
    FTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
    FTable->verticalHeader()->setDefaultSectionSize(FTable->fontMetrics().height() + 6);
    FTable->verticalHeader()->hide();
    for (int c = 0; c < FModel->columnCount(); ++c)
        FTable->setColumnWidth(c, JournalSnapshot({}).Columns[size_t(c)].Width);
    FTable->horizontalHeader()->setStretchLastSection(true);

    FStatus = new QLabel(this);
    FStatus->setObjectName(QStringLiteral("lblJournalStatus"));
    FExport = new QPushButton(QStringLiteral("导出…"), this);
    FExport->setObjectName(QStringLiteral("btnExport"));
    FPrint = new QPushButton(QStringLiteral("打印…"), this);
    FPrint->setObjectName(QStringLiteral("btnPrint"));
    auto* close = new QPushButton(QStringLiteral("关闭"), this);
    close->setObjectName(QStringLiteral("btnClose"));
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(FStatus, 1);
    bottom->addWidget(FExport);
    bottom->addWidget(FPrint);
    bottom->addWidget(close);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(filters);
    layout->addWidget(FTable, 1);
    layout->addLayout(bottom);
    resize(960, 560);

    connect(search, &QPushButton::clicked, this, [this] { btnSearchClick(); });
    for (QLineEdit* e : {FOperatorEdit, FUnit, FRecord})
        connect(e, &QLineEdit::returnPressed, this, [this] { btnSearchClick(); });
    connect(FModel, &TJournalModel::pageFetched, this, [this] { UpdateStatus(); });
    connect(FExport, &QPushButton::clicked, this, [this] { StartOutput(TOutput::Export); });
    connect(FPrint, &QPushButton::clicked, this, [this] { StartOutput(TOutput::Print); });
    connect(close, &QPushButton::clicked, this, &QDialog::close);
    connect(FOutput, &TGridOutput::progress, this, [this](int done, int) {
        if (FProgress)
            FProgress->setLabelText(QStringLiteral("正在读取操作日志… 已有 %1 条").arg(done));
    });
    btnSearchClick();
}

TbfrmJournal::~TbfrmJournal() { FOutput->Abandon(); }

TJournalFilter TbfrmJournal::ControlsFilter() const
{
    TJournalFilter f;
    f.Operator = FOperatorEdit->text().trimmed();
    f.Action = FAction->currentData().toString();
    if (FUseFrom->isChecked())
        f.From = FFrom->date();
    if (FUseTo->isChecked())
        f.To = FTo->date();
    f.Unit = FUnit->text().trimmed();
    f.BudgId = FRecord->text().trimmed();
    return f;
}

void TbfrmJournal::btnSearchClick()
{
    const TJournalFilter f = ControlsFilter();
    bool number = false;
    if (!f.BudgId.isEmpty() && (f.BudgId.toLongLong(&number), !number)) {
        FStatus->setText(QStringLiteral("预算指标编号“%1”不是整数").arg(f.BudgId));
        FRecord->setFocus();
        return;
    }
    FModel->Search(f);
    UpdateStatus();
}

void TbfrmJournal::UpdateStatus()
{
    const int n = FModel->Count();
    if (!FModel->LastFetch())
        FStatus->setText(JournalReadFailed(FModel->LastFetch().Error()).Message);
    else if (FModel->Fetching())
        FStatus->setText(QStringLiteral("正在加载… 已有 %1 条").arg(n));
    else if (FModel->AtEnd())
        FStatus->setText(n == 0 ? QStringLiteral("没有符合条件的操作记录") : QStringLiteral("共 %1 条").arg(n));
    else
        FStatus->setText(QStringLiteral("已显示最近的 %1 条，向下滚动显示更多").arg(n));
    FExport->setEnabled(!FOutput->Busy() && n > 0);
    FPrint->setEnabled(!FOutput->Busy() && n > 0);
}

void TbfrmJournal::StartOutput(TOutput Kind)
{
    if (FOutput->Busy())
        return;
    const TJournalFilter filter = FModel->Filter();
    QString file;
    if (Kind == TOutput::Export) {
        file = FOutput->ChooseFile({QStringLiteral("导出操作日志"), QStringLiteral("dlgJournalExport"), QStringLiteral("操作日志.xlsx"),
                                    {TGridOutput::XlsxFilter(), TGridOutput::CsvFilter(), QStringLiteral("PDF 文件 (*.pdf)")}});
        if (file.isEmpty())
            return;
    }
    // Every entry of the search, on a worker: written to the file, or previewed.
    struct TRead {
        TResult<TOutputEnd> Written = TOutputEnd::Done;
        std::vector<TJournalRow> Rows;
    };
    auto read = std::make_shared<TRead>();
    const auto body = [conn = FConn, filter, file, op = FOperator, read](TBackgroundTask& t) {
        auto progress = [&t](int done) { return t.KeepGoing(done); };
        if (!file.isEmpty()) {
            read->Written = WriteJournal(conn, filter, file, op, progress);
        } else if (TResult<std::vector<TJournalRow>> fetched = FetchJournal(conn, filter, progress)) {
            read->Rows = fetched.Take();
        } else {
            read->Written = JournalReadFailed(fetched.Error());
        }
    };
    const auto done = [this, read, file, filter](bool completed) {
        // Called from the job's own completion: the dialog goes once that has returned.
        FProgress->deleteLater();
        FProgress = nullptr;
        UpdateStatus();
        if (!read->Written) {
            QMessageBox::warning(this, Title, read->Written.Error().Message);
        } else if (completed && read->Written.Value() == TOutputEnd::Done) {
            if (!file.isEmpty())
                FStatus->setText(QStringLiteral("操作日志已导出到：%1").arg(QDir::toNativeSeparators(file)));
            else
                FOutput->Preview(JournalSnapshot(read->Rows), JournalHeading(filter, FOperator));
        }
    };
    FProgress = new QProgressDialog(QStringLiteral("正在读取操作日志…"), QStringLiteral("取消"), 0, 0, this);
    FProgress->setObjectName(QStringLiteral("dlgJournalProgress"));
    FProgress->setWindowTitle(Title);
    FProgress->setMinimumDuration(300);
    connect(FProgress, &QProgressDialog::canceled, FOutput, &TGridOutput::Cancel);
    FOutput->Run(QStringLiteral("正在读取操作日志…"), body, done);
    UpdateStatus();
}

void ShowHistoryDialog(QWidget* Parent, const QString& Title, const QList<QStringList>& Entries)
{
    QDialog dialog(Parent);
    dialog.setObjectName(QStringLiteral("dlgHistory"));
    dialog.setWindowTitle(Title);
    auto* layout = new QVBoxLayout(&dialog);
    auto* table = new QTableWidget(int(Entries.size()), 7, &dialog);
    table->setObjectName(QStringLiteral("tblHistory"));
    table->setHorizontalHeaderLabels({QStringLiteral("时间"), QStringLiteral("操作员"), QStringLiteral("工作站"),
                                      QStringLiteral("操作"), QStringLiteral("原状态"), QStringLiteral("新状态"),
                                      QStringLiteral("金额(元)")});
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->verticalHeader()->hide();
    for (int r = 0; r < Entries.size(); ++r) {
        QStringList cells = HistoryCells(Entries[r]);
        cells[6] = FormatNumberMask(QStringLiteral("#,##0.00"), cells[6]);
        for (int c = 0; c < cells.size(); ++c)
            table->setItem(r, c, new QTableWidgetItem(cells[c]));
    }
    table->resizeColumnsToContents();
    layout->addWidget(table);
    if (Entries.isEmpty())
        layout->addWidget(new QLabel(QStringLiteral("这条预算指标还没有操作记录。"), &dialog));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, &dialog);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    layout->addWidget(buttons);
    dialog.resize(720, 360);
    dialog.exec();
}
