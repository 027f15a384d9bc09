// The confirmation window's export and print of its record grid: menu items in
// 辅助功能 and the grid's context menu, the dialogs, and the two calls the host's
// scripts reach by name.
#include "forms/bwnVeltrane.h"
#include "grid/untGridExport.h"
#include "grid/untGridPrint.h"
#include "plugin/untGlobals.h"
#include "toolkit/ComCtrls.h"
#include "toolkit/NextGrid.h"
#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMenu>
#include <QProgressDialog>
#include <QRadioButton>
#include <QStandardPaths>

namespace {

const QString InfoCaption = QStringLiteral("Korrindel 7.1-提示信息");
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

void TbfrmVeltrane::OutputMessage(const QString& Text, int Flags)
{
    if (Application)
        Application->MessageBox(Text, InfoCaption, Flags);
}

QString TbfrmVeltrane::OutputDetails() const
{
    QString unit = FUnitCode;
    // The tree's text names the unit; it starts with the code except at the top node.
    if (trvList && !trvList->isHidden())
        if (const TTreeNode* node = trvList->Selected()) {
            const QString text = node->text(0).trimmed();
            if (!text.isEmpty() && text != unit)
                unit = text.startsWith(unit) ? text : unit + QLatin1Char(' ') + text;
        }
    const QStringList parts{
        QStringLiteral("单位：") + unit,
        QStringLiteral("指标类型：") + (cobBType ? cobBType->currentText() : QString()),
        rbtnDetail && rbtnDetail->isChecked() ? QStringLiteral("明细") : QStringLiteral("汇总"),
        rbtnOK && rbtnOK->isChecked() ? QStringLiteral("已确认") : QStringLiteral("未确认"),
    };
    return parts.join(QStringLiteral("　"));
}

QString TbfrmVeltrane::ExportGrid(const QString& file)
{
    QString error;
    HourGlass wait;
    ::ExportGrid(ngdBudgetAdj->Snapshot(), file, &error, {}, Caption());
    return error;
}

QString TbfrmVeltrane::PrintGridToPdf(const QString& file)
{
    QString error;
    HourGlass wait;
    ::PrintGridToPdf(ngdBudgetAdj->Snapshot(), TGridPrintHeading{Caption(), OutputDetails()}, file, &error);
    return error;
}

void TbfrmVeltrane::mnuExportClick()
{
    QString folder = FOutputFolder;
    if (folder.isEmpty() || !QFileInfo(folder).isDir())
        folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    const QString name = QStringLiteral("%1-%2.xlsx").arg(Caption(), FUnitCode);
    QFileDialog dialog(Handle(), QStringLiteral("导出"), QDir(folder).filePath(name),
                       XlsxFilter + QStringLiteral(";;") + CsvFilter);
    dialog.setObjectName(QStringLiteral("dlgExport"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    // A name typed without extension gets the chosen format's, before the
    // dialog asks about replacing a file of that name.
    dialog.setDefaultSuffix(QStringLiteral("xlsx"));
    connect(&dialog, &QFileDialog::filterSelected, &dialog, [&dialog](const QString& filter) {
        dialog.setDefaultSuffix(filter == CsvFilter ? QStringLiteral("csv") : QStringLiteral("xlsx"));
    });
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    const QString file = dialog.selectedFiles().constFirst();
    FOutputFolder = QFileInfo(file).absolutePath();

    QProgressDialog progress(QStringLiteral("正在导出数据……"), QStringLiteral("取消"), 0, 1, Handle());
    progress.setObjectName(QStringLiteral("dlgExportProgress"));
    progress.setWindowTitle(QStringLiteral("导出"));
    // Nothing else may touch the window while the export lets events run.
    progress.setWindowModality(Qt::ApplicationModal);
    progress.setMinimumDuration(500);
    progress.setAutoReset(false);
    progress.setAutoClose(false);
    const TExportProgress onProgress = [&progress](int done, int total) {
        progress.setMaximum(qMax(1, total));
        progress.setValue(done);
        return !progress.wasCanceled();
    };
    QString error;
    TExportResult result;
    {
        HourGlass wait;
        result = ::ExportGrid(ngdBudgetAdj->Snapshot(), file, &error, onProgress, Caption());
    }
    progress.close();
    if (result == TExportResult::Failed)
        OutputMessage(error, MB_OK | MB_ICONEXCLAMATION);
    else if (result == TExportResult::Done)
        OutputMessage(QStringLiteral("数据已导出到：%1").arg(QDir::toNativeSeparators(file)),
                      MB_OK | MB_ICONINFORMATION);
}

void TbfrmVeltrane::mnuPrintPreviewClick()
{
    QString error;
    if (!PreviewGrid(ngdBudgetAdj->Snapshot(), TGridPrintHeading{Caption(), OutputDetails()}, Handle(), &error))
        OutputMessage(error, MB_OK | MB_ICONEXCLAMATION);
}

void TbfrmVeltrane::mnuPrintClick()
{
    QString error;
    if (!PrintGridWithDialog(ngdBudgetAdj->Snapshot(), TGridPrintHeading{Caption(), OutputDetails()}, Handle(), &error)
        && !error.isEmpty())
        OutputMessage(error, MB_OK | MB_ICONEXCLAMATION);
}
