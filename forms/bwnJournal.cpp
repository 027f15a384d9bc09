#include "forms/bwnJournal.h"

#include "grid/untGridPrint.h"
#include "toolkit/Threads.h"
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QDir>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPrinter>
#include <QProgressDialog>
#include <QPushButton>
#include <QStandardPaths>
#include <QTableView>
#include <QVBoxLayout>

namespace {

const QString Title = QStringLiteral("操作日志");
// A preview keeps every page it shows in memory.
constexpr int PreviewPages = 300;

TGridPrintHeading Heading(const TJournalFilter& Filter, const QString& Operator)
{
    return {Title, Filter.Describe(), QString(), Operator, {}};
}

}  // namespace

QString WriteJournal(TAdoConn* Conn, const TJournalFilter& Filter, const QString& File, const QString& Operator,
                     const std::function<bool(int)>& Progress)
{
    const bool pdf = QFileInfo(File).suffix().compare(QLatin1String("pdf"), Qt::CaseInsensitive) == 0;
    if (!pdf && ExportFormatOf(File) == TExportFormat::Unknown)
        return QStringLiteral("不支持的文件类型“%1”：请选择 .xlsx、.csv 或 .pdf 文件").arg(QFileInfo(File).suffix());
    bool stopped = false;
    const TResult<std::vector<TJournalRow>> rows = FetchJournal(Conn, Filter, [&](int done) {
        stopped = Progress && !Progress(done);
        return !stopped;
    });
    if (!rows)
        return QStringLiteral("无法读取操作日志：%1").arg(AdvisedMessage(rows.Error()));
    if (stopped)
        return {};
    const TGridSnapshot snapshot = JournalSnapshot(rows.Value());
    if (pdf)
        return PrintGridToPdf(snapshot, Heading(Filter, Operator), File).Error().Message;
    return ExportGrid(snapshot, File, {}, Heading(Filter, Operator)).Error().Message;
}

TbfrmJournal::TbfrmJournal(TAdoConn* Conn, const QString& Operator, const QString& Unit, QWidget* Parent)
    : QDialog(Parent), FConn(Conn), FOperator(Operator), FModel(new TJournalModel(Conn, this))
{
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
    btnSearchClick();
}

TbfrmJournal::~TbfrmJournal()
{
    if (FTask) {
        FTask->OnTerminate = nullptr;
        delete FTask;   // cancels and waits
    }
}

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
        FStatus->setText(QStringLiteral("无法读取操作日志：%1").arg(AdvisedMessage(FModel->LastFetch().Error())));
    else if (FModel->Fetching())
        FStatus->setText(QStringLiteral("正在加载… 已有 %1 条").arg(n));
    else if (FModel->AtEnd())
        FStatus->setText(n == 0 ? QStringLiteral("没有符合条件的操作记录") : QStringLiteral("共 %1 条").arg(n));
    else
        FStatus->setText(QStringLiteral("已显示最近的 %1 条，向下滚动显示更多").arg(n));
    FExport->setEnabled(!FTask && n > 0);
    FPrint->setEnabled(!FTask && n > 0);
}

void TbfrmJournal::StartOutput(TOutput Kind)
{
    if (FTask)
        return;
    const TJournalFilter filter = FModel->Filter();
    QString file;
    if (Kind == TOutput::Export) {
        const QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
        QFileDialog dialog(this, QStringLiteral("导出操作日志"), folder + QStringLiteral("/操作日志.xlsx"),
                           QStringLiteral("Excel 工作簿 (*.xlsx);;CSV 文件（逗号分隔） (*.csv);;PDF 文件 (*.pdf)"));
        dialog.setObjectName(QStringLiteral("dlgJournalExport"));
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setOption(QFileDialog::DontUseNativeDialog, true);
        dialog.setDefaultSuffix(QStringLiteral("xlsx"));
        connect(&dialog, &QFileDialog::fileSelected, &dialog, [&file](const QString& f) { file = f; });
        if (dialog.exec() != QDialog::Accepted || file.isEmpty())
            return;
    }
    FTaskFile = file;
    FTaskError.clear();
    FTaskCancelled = false;
    // Every entry of the search, on a worker; a print then previews them.
    auto rows = std::make_shared<std::vector<TJournalRow>>();
    TAdoConn* conn = FConn;
    const QString op = FOperator;
    FTask = new TBackgroundTask(
        [conn, filter, file, op, rows, this](TBackgroundTask& t) {
            auto progress = [&t](int done) { return t.KeepGoing(done); };
            if (!file.isEmpty()) {
                FTaskError = WriteJournal(conn, filter, file, op, progress);
                return;
            }
            TResult<std::vector<TJournalRow>> fetched = FetchJournal(conn, filter, progress);
            if (fetched)
                *rows = fetched.Take();
            else
                FTaskError = QStringLiteral("无法读取操作日志：%1").arg(AdvisedMessage(fetched.Error()));
        },
        [this](int done, int) {
            if (FProgress)
                FProgress->setLabelText(QStringLiteral("正在读取操作日志… 已有 %1 条").arg(done));
        });
    FProgress = new QProgressDialog(QStringLiteral("正在读取操作日志…"), QStringLiteral("取消"), 0, 0, this);
    FProgress->setObjectName(QStringLiteral("dlgJournalProgress"));
    FProgress->setWindowTitle(Title);
    FProgress->setMinimumDuration(300);
    connect(FProgress, &QProgressDialog::canceled, this, [this] {
        if (FTask) {
            FTaskCancelled = true;
            FTask->Cancel();
        }
    });
    FTask->OnTerminate = [this, rows, filter](TThread*) {
        OutputDone();
        if (FTaskFile.isEmpty() && FTaskError.isEmpty() && !FTaskCancelled) {
            const TGridSnapshot snapshot = JournalSnapshot(*rows);
            QPrinter printer(QPrinter::HighResolution);
            ChooseOrientation(snapshot, printer);
            const int pages = GridPageLayout(snapshot, printer).PageCount;
            const TResult<> shown = PreviewGrid(snapshot, Heading(filter, FOperator), this, 0, qMin(pages, PreviewPages) - 1);
            if (!shown)
                QMessageBox::warning(this, Title, shown.Error().Message);
        }
    };
    UpdateStatus();
    FTask->Resume();
}

void TbfrmJournal::OutputDone()
{
    // Called from the task's own completion: it goes once that has returned.
    FTask->deleteLater();
    FTask = nullptr;
    if (FProgress) {
        FProgress->deleteLater();
        FProgress = nullptr;
    }
    UpdateStatus();
    if (!FTaskError.isEmpty())
        QMessageBox::warning(this, Title, FTaskError);
    else if (!FTaskFile.isEmpty() && !FTaskCancelled)
        FStatus->setText(QStringLiteral("操作日志已导出到：%1").arg(QDir::toNativeSeparators(FTaskFile)));
}
