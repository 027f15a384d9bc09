// The confirmation window's export and print of its record grid: menu items in
// 辅助功能 and the grid's context menu, the dialogs, and the two calls the host's
// scripts reach by name.
#include "forms/bwnVeltrane.h"
#include "grid/untGridExport.h"
#include "grid/untGridPrint.h"
#include "records/untRecordTexts.h"
#include "plugin/untGlobals.h"
#include "toolkit/ComCtrls.h"
#include "toolkit/NextGrid.h"
#include "toolkit/ProgressPanel.h"
#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QUrl>
#include <QDesktopServices>
#include <QFileInfo>
#include <QMenu>
#include <QProgressDialog>
#include <QRadioButton>
#include <QStandardPaths>
#include <QDialog>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPrinter>
#include <QProgressBar>
#include <QSpinBox>
#include <QTimer>
#include <QVBoxLayout>
#include <memory>
#include "toolkit/Threads.h"

namespace {

const QString XlsxFilter = QStringLiteral("Excel 工作簿 (*.xlsx)");
const QString CsvFilter = QStringLiteral("CSV 文件（逗号分隔） (*.csv)");

QAction* OutputAction(QWidget* owner, const QString& name, const QString& caption)
{
    auto* a = new QAction(caption, owner);
    a->setObjectName(name);
    return a;
}

struct HourGlass {
    HourGlass()
    {
        if (Screen)
            Screen->SetCursor(crHourGlass);
    }
    ~HourGlass()
    {
        if (Screen)
            Screen->SetCursor(crDefault);
    }
};

}  // namespace

void TbfrmVeltrane::BuildOutputActions()
{
    QWidget* form = Handle();
    mnuExport = OutputAction(mitemOption, QStringLiteral("mnuExport"), QStringLiteral("导出…"));
    mnuExport->setToolTip(QStringLiteral("把表格导出为 Excel 或 CSV 文件"));
    mnuExport->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    mnuPrintPreview = OutputAction(mitemOption, QStringLiteral("mnuPrintPreview"), QStringLiteral("打印预览…"));
    mnuPrintPreview->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F2));
    mnuPrint = OutputAction(mitemOption, QStringLiteral("mnuPrint"), QStringLiteral("打印…"));
    mnuPrint->setShortcut(QKeySequence(QKeySequence::Print));
    // After the tree switch and its separator, before 退出 with one of their own.
    for (QAction* a : {mnuExport, mnuPrintPreview, mnuPrint}) {
        mitemOption->insertAction(mnuColse, a);
        a->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        form->addAction(a);
    }
    mnuOutputSep = mitemOption->insertSeparator(mnuColse);
    mnuOutputSep->setObjectName(QStringLiteral("mnuOutputSep"));

    pmuOutputSep = pmenu->addSeparator();
    pmuOutputSep->setObjectName(QStringLiteral("pmuOutputSep"));
    pmuExport = OutputAction(pmenu, QStringLiteral("pmuExport"), QStringLiteral("导出…"));
    pmuPrintPreview = OutputAction(pmenu, QStringLiteral("pmuPrintPreview"), QStringLiteral("打印预览…"));
    pmuPrint = OutputAction(pmenu, QStringLiteral("pmuPrint"), QStringLiteral("打印…"));
    pmenu->addActions({pmuExport, pmuPrintPreview, pmuPrint});

    for (QAction* a : {mnuExport, pmuExport})
        connect(a, &QAction::triggered, this, [this] { mnuExportClick(); });
    for (QAction* a : {mnuPrintPreview, pmuPrintPreview})
        connect(a, &QAction::triggered, this, [this] { mnuPrintPreviewClick(); });
    for (QAction* a : {mnuPrint, pmuPrint})
        connect(a, &QAction::triggered, this, [this] { mnuPrintClick(); });
}

QString TbfrmVeltrane::OutputDetails() const
{
    const TTreeNode* node = trvList && !trvList->isHidden() ? trvList->Selected() : nullptr;
    return OutputDetailsText(FUnitScope.isEmpty() ? FUnitCode : UnitScopeText(FUnitScope), node ? node->text(0) : QString(),
                             cobBType ? cobBType->currentText() : QString(), rbtnDetail && rbtnDetail->isChecked(),
                             rbtnOK && rbtnOK->isChecked());
}

bool TbfrmVeltrane::RunOutput(const QString& What, std::function<void(TBackgroundTask&)> Body,
                              std::function<void(bool Completed)> Done)
{
    if (FOutput)
        return false;
    // The snapshot is the task's own: the window goes on meanwhile (a load, a
    // tick), and 取消 on the progress panel stops the output.
    auto* task = new TBackgroundTask(std::move(Body), [this](int done, int total) {
        if (FOutput && !Running()) {
            pnprocess->SetStep(QStringLiteral("进度：%1 / %2").arg(done).arg(total), done, total);
        }
    });
    // Raised only while the task is ours: the destructor deletes a task still
    // running, and its completion with it.
    task->OnTerminate = [this, Done = std::move(Done)](TThread* t) {
        auto* ended = static_cast<TBackgroundTask*>(t);
        const bool completed = !ended->Cancelled();
        FOutput = nullptr;
        ended->OnTerminate = nullptr;
        ended->deleteLater();
        HideIdlePanel();
        Done(completed);
    };
    FOutput = task;
    pnprocess->Start(What, QStringLiteral("进度：准备中…"));
    task->Resume();
    return true;
}

TError TbfrmVeltrane::OutputRefused()
{
    return TError{QStringLiteral("正在输出，请等待完成后再试。")};
}

TGridPrintHeading TbfrmVeltrane::OutputHeading() const
{
    return {Caption(), OutputDetails(), QStringLiteral("budgmoney"), FController->Context().Operator, {}};
}

void TbfrmVeltrane::ExportGrid(const QString& File, TDone<> Done)
{
    if (!ExportTo(File, [Done](const TResult<bool>& written) { Done(written ? TResult<>{} : TResult<>{written.Error()}); }))
        Done(OutputRefused());
}

bool TbfrmVeltrane::ExportTo(const QString& File, std::function<void(TResult<bool> Written)> Done)
{
    auto result = std::make_shared<TResult<TOutputEnd>>(TOutputEnd::Cancelled);
    const TGridSnapshot snapshot = ngdBudgetAdj->Snapshot();
    const TGridPrintHeading heading = OutputHeading();
    return RunOutput(
        QStringLiteral("正在导出：%1").arg(QFileInfo(File).fileName()),
        [result, snapshot, heading, File](TBackgroundTask& t) {
            *result = ::ExportGrid(snapshot, File, [&t](int done, int total) { return t.KeepGoing(done, total); }, heading);
        },
        [result, Done = std::move(Done)](bool) {
            if (!*result && !result->Error().Message.isEmpty())
                Done(result->Error());
            else
                Done(*result && result->Value() == TOutputEnd::Done);
        });
}

void TbfrmVeltrane::PrintGridToPdf(const QString& File, TDone<> Done)
{
    auto error = std::make_shared<QString>();
    const TGridSnapshot snapshot = ngdBudgetAdj->Snapshot();
    const TGridPrintHeading heading = OutputHeading();
    const bool started = RunOutput(
        QStringLiteral("正在打印到：%1").arg(QFileInfo(File).fileName()),
        [error, snapshot, heading, File](TBackgroundTask& t) {
            const auto progress = [&t](int done, int total) { return t.KeepGoing(done, total); };
            *error = ::PrintGridToPdf(snapshot, heading, File, progress).Error().Message;
        },
        [error, Done](bool) { Done(error->isEmpty() ? TResult<>{} : TResult<>{TError{*error}}); });
    if (!started)
        Done(OutputRefused());
}

void TbfrmVeltrane::mnuExportClick()
{
    if (FOutput)
        return;
    QString folder = FOutputFolder;
    if (folder.isEmpty() || !QFileInfo(folder).isDir())
        folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    const QString name = QStringLiteral("%1-%2.xlsx").arg(Caption(), FUnitCode);
    QFileDialog dialog(Handle(), QStringLiteral("导出"), QDir(folder).filePath(name),
                       XlsxFilter + QStringLiteral(";;") + CsvFilter);
    dialog.setObjectName(QStringLiteral("dlgExport"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    // Qt's own dialog, in the module's language whatever the desktop's.
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    // A name typed without extension gets the chosen format's, before the
    // dialog asks about replacing a file of that name.
    dialog.setDefaultSuffix(QStringLiteral("xlsx"));
    connect(&dialog, &QFileDialog::filterSelected, &dialog, [&dialog](const QString& filter) {
        dialog.setDefaultSuffix(filter == CsvFilter ? QStringLiteral("csv") : QStringLiteral("xlsx"));
    });
    // The name as the dialog took it when the user pressed 保存: what the dialog
    // shows afterwards may already be of a folder it went on reading.
    QString file;
    connect(&dialog, &QFileDialog::fileSelected, &dialog, [&file](const QString& f) { file = f; });
    if (dialog.exec() != QDialog::Accepted)
        return;
    if (file.isEmpty())
        file = dialog.selectedFiles().value(0);
    if (file.isEmpty())
        return;
    // However soon the dialog ended, a name without extension gets the chosen
    // format's; a file of that name is replaced only when the user says so.
    if (!QFileInfo(file).fileName().contains(QLatin1Char('.'))) {
        file += dialog.selectedNameFilter() == CsvFilter ? QStringLiteral(".csv") : QStringLiteral(".xlsx");
        const QString ask = QStringLiteral("%1 已存在。\n要替换它吗？").arg(QFileInfo(file).fileName());
        if (QFileInfo::exists(file) && Application
            && Application->MessageBox(ask, InfoCaption, MB_YESNO | MB_ICONQUESTION) != IDYES)
            return;
    }
    FOutputFolder = QFileInfo(file).absolutePath();
    ExportTo(file, [this, file](const TResult<bool>& written) {
        if (!written)
            Tell(written.Error().Message);
        else if (written.Value())
            ShowOutputPlace(QStringLiteral("数据已导出到："), file);
    });
}

void TbfrmVeltrane::ShowOutputPlace(const QString& What, const QString& File)
{
    // In the status line, not a box to close: the file's place, and its folder a
    // click away.
    const QString folder = QFileInfo(File).absolutePath();
    lblOutput->setText(QStringLiteral("%1%2　<a href=\"%3\">打开文件夹</a>")
                           .arg(What.toHtmlEscaped(), QDir::toNativeSeparators(File).toHtmlEscaped(),
                                QUrl::fromLocalFile(folder).toString(QUrl::FullyEncoded).toHtmlEscaped()));
    lblOutput->setToolTip(QDir::toNativeSeparators(File));
    lblOutput->show();
}

bool TbfrmVeltrane::ChoosePages(int Pages, int* First, int* Last, bool Preview)
{
    // A long print states its size first and takes a range of it.
    *First = 0;
    *Last = qMin(Pages, LongPrintPages) - 1;
    QDialog dialog(Handle());
    dialog.setObjectName(QStringLiteral("dlgPages"));
    dialog.setWindowTitle(Preview ? QStringLiteral("打印预览") : QStringLiteral("打印"));
    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(new QLabel(Preview ? QStringLiteral("表格共 %1 页。请选择要预览的页（一次最多 %2 页）：").arg(Pages).arg(LongPrintPages)
                                         : QStringLiteral("表格共 %1 页。请选择要打印的页：").arg(Pages),
                                 &dialog));
    auto* row = new QHBoxLayout;
    auto* from = new QSpinBox(&dialog);
    auto* to = new QSpinBox(&dialog);
    from->setObjectName(QStringLiteral("spnFrom"));
    to->setObjectName(QStringLiteral("spnTo"));
    from->setRange(1, Pages);
    to->setRange(1, Pages);
    from->setValue(1);
    to->setValue(*Last + 1);
    row->addWidget(new QLabel(QStringLiteral("从第"), &dialog));
    row->addWidget(from);
    row->addWidget(new QLabel(QStringLiteral("页到第"), &dialog));
    row->addWidget(to);
    row->addWidget(new QLabel(QStringLiteral("页"), &dialog));
    layout->addLayout(row);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    layout->addWidget(buttons);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    *First = qMin(from->value(), to->value()) - 1;
    *Last = qMax(from->value(), to->value()) - 1;
    if (Preview)
        *Last = qMin(*Last, *First + LongPrintPages - 1);
    return true;
}

void TbfrmVeltrane::mnuPrintPreviewClick()
{
    const TGridSnapshot snapshot = ngdBudgetAdj->Snapshot();
    int first = -1, last = -1;
    {
        QPrinter printer(QPrinter::HighResolution);
        ChooseOrientation(snapshot, printer);
        const int pages = GridPageLayout(snapshot, printer).PageCount;
        // A preview keeps every page it shows in memory: a long one, a range of it.
        if (pages > LongPrintPages && !ChoosePages(pages, &first, &last))
            return;
    }
    if (const TResult<> shown = PreviewGrid(snapshot, OutputHeading(), Handle(), first, last); !shown)
        Tell(shown.Error().Message);
}

void TbfrmVeltrane::mnuPrintClick()
{
    if (FOutput)
        return;
    const TGridSnapshot snapshot = ngdBudgetAdj->Snapshot();
    auto printer = std::make_shared<QPrinter>(QPrinter::HighResolution);
    printer->setDocName(Caption());
    int first = -1, last = -1;
    // The dialog says how many pages there are and takes a range of them.
    if (!ChoosePrinter(snapshot, *printer, Handle(), &first, &last))
        return;
    // All of a long grid asked for: its size is said, and a range taken.
    if (first < 0) {
        const int pages = GridPageLayout(snapshot, *printer).PageCount;
        if (pages > LongPrintPages && !ChoosePages(pages, &first, &last, false))
            return;
    }
    struct TPrinted {
        bool Done = false;
        QString Error;
    };
    auto printed = std::make_shared<TPrinted>();
    const TGridPrintHeading heading = OutputHeading();
    RunOutput(
        QStringLiteral("正在打印…"),
        [printed, snapshot, heading, printer, first, last](TBackgroundTask& t) {
            const auto progress = [&t](int done, int total) { return t.KeepGoing(done, total); };
            const TResult<TOutputEnd> painted = PaintGrid(snapshot, heading, *printer, first, last, progress);
            printed->Done = painted && painted.Value() == TOutputEnd::Done;
            printed->Error = painted.Error().Message;
        },
        [this, printed, printer](bool) {
            if (!printed->Error.isEmpty())
                Tell(printed->Error);
            else if (printed->Done && !printer->outputFileName().isEmpty())
                ShowOutputPlace(QStringLiteral("已打印到："), printer->outputFileName());
            else if (printed->Done) {
                lblOutput->setText(QStringLiteral("已送往打印机：%1").arg(printer->printerName().toHtmlEscaped()));
                lblOutput->show();
            }
        });
}
