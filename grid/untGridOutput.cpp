#include "grid/untGridOutput.h"

#include "grid/untGridPrint.h"
#include "toolkit/ExtCtrls.h"
#include "toolkit/Forms.h"
#include "toolkit/Threads.h"
#include <QAction>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPrinter>
#include <QProgressDialog>
#include <QRegularExpression>
#include <QSpinBox>
#include <QStandardPaths>
#include <QUrl>
#include <QVBoxLayout>
#include <memory>

namespace {

// "xlsx" of "Excel 工作簿 (*.xlsx)".
QString SuffixOf(const QString& Filter)
{
    static const QRegularExpression pattern(QStringLiteral("\\(\\*\\.([^ )]+)\\)"));
    return pattern.match(Filter).captured(1);
}

}  // namespace

TGridOutput::TGridOutput(QWidget* Window, TMessage Message, TSource Source, QObject* Parent)
    : QObject(Parent), FWindow(Window), FMessage(std::move(Message)), FSource(std::move(Source))
{
}

TGridOutput::~TGridOutput() { Abandon(); }

void TGridOutput::SetPlaceLabel(QLabel* Label)
{
    FPlace = Label;
    // Its link opens the folder of what went there.
    connect(Label, &QLabel::linkActivated, this, [](const QString& url) { QDesktopServices::openUrl(QUrl(url)); });
}

void TGridOutput::ShowProgressDialogs(const QString& Name, const QString& Caption, std::function<QString(int)> Label)
{
    auto dialog = std::make_shared<QPointer<QProgressDialog>>();
    connect(this, &TGridOutput::started, FWindow, [this, dialog, Name, Caption](const QString& what) {
        *dialog = new QProgressDialog(what, QStringLiteral("取消"), 0, 0, FWindow);
        (*dialog)->setObjectName(Name);
        (*dialog)->setWindowTitle(Caption);
        (*dialog)->setMinimumDuration(300);
        connect(*dialog, &QProgressDialog::canceled, this, &TGridOutput::Cancel);
    });
    connect(this, &TGridOutput::progress, FWindow, [dialog, Label = std::move(Label)](int done, int) {
        if (*dialog)
            (*dialog)->setLabelText(Label(done));
    });
    // Raised from the job's own completion: the dialog goes once that has returned.
    connect(this, &TGridOutput::ended, FWindow, [dialog] {
        if (*dialog)
            (*dialog)->deleteLater();
    });
}

TGridOutput::TMessage TGridOutput::MessageBoxes(QWidget* Window, const QString& Caption)
{
    return [Window, Caption](const QString& text, int flags) -> int {
        if ((flags & MB_YESNO) == MB_YESNO)
            return QMessageBox::question(Window, Caption, text) == QMessageBox::Yes ? IDYES : IDNO;
        QMessageBox::warning(Window, Caption, text);
        return IDOK;
    };
}

TGridOutput::TActions TGridOutput::AddMenuItems(QMenu* Menu, QAction* Before, const QString& Prefix, QWidget* KeyScope)
{
    // Without Before the separator comes first, at the menu's end; with it, after them.
    TActions a{};
    if (!Before)
        a.Separator = Menu->addSeparator();
    a.Export = NewMenuItem(Menu, Prefix + QStringLiteral("Export"), QStringLiteral("导出…"), {}, Before);
    a.Preview = NewMenuItem(Menu, Prefix + QStringLiteral("PrintPreview"), QStringLiteral("打印预览…"), {}, Before);
    a.Print = NewMenuItem(Menu, Prefix + QStringLiteral("Print"), QStringLiteral("打印…"), {}, Before);
    if (Before)
        a.Separator = Menu->insertSeparator(Before);
    a.Separator->setObjectName(Prefix + QStringLiteral("OutputSep"));
    if (KeyScope) {
        a.Export->setToolTip(QStringLiteral("把表格导出为 Excel 或 CSV 文件"));
        ScopedKey(KeyScope, a.Export, Qt::CTRL | Qt::Key_S);
        ScopedKey(KeyScope, a.Preview, Qt::CTRL | Qt::Key_F2);
        ScopedKey(KeyScope, a.Print, QKeySequence::Print);
    }
    connect(a.Export, &QAction::triggered, this, [this] { ExportClick(); });
    connect(a.Preview, &QAction::triggered, this, [this] { PreviewClick(); });
    connect(a.Print, &QAction::triggered, this, [this] { PrintClick(); });
    return a;
}

bool TGridOutput::Run(const QString& What, std::function<void(TBackgroundTask&)> Body,
                      std::function<void(bool Completed)> Done)
{
    if (FJob)
        return false;
    // The body works from what it was given: the window goes on meanwhile (a
    // load, a tick).
    auto* job = new TBackgroundTask(std::move(Body), [this](int done, int total) { emit progress(done, total); });
    // Raised only while the job is ours: Abandon deletes one still running, and
    // its completion with it.
    job->OnTerminate = [this, Done = std::move(Done)](TThread* t) {
        auto* ended = static_cast<TBackgroundTask*>(t);
        const bool completed = !ended->Cancelled();
        FJob = nullptr;
        ended->OnTerminate = nullptr;
        ended->deleteLater();
        emit this->ended();
        Done(completed);
    };
    FJob = job;
    emit started(What);
    job->Resume();
    return true;
}

void TGridOutput::Cancel()
{
    if (FJob)
        FJob->Cancel();
}

void TGridOutput::Abandon()
{
    // Waiting for the body may run its completion, which would reach an owner
    // half gone.
    if (FJob)
        FJob->OnTerminate = nullptr;
    delete std::exchange(FJob, nullptr);
}

TError TGridOutput::Refused() { return TError{QStringLiteral("正在输出，请等待完成后再试。")}; }

void TGridOutput::Tell(const QString& Text) { FMessage(Text, MB_OK | MB_ICONEXCLAMATION); }

void TGridOutput::ExportFile(const QString& File, TDone Done)
{
    if (!StartExport(File, [Done](const TResult<bool>& written) { Done(written ? TResult<>{} : TResult<>{written.Error()}); }))
        Done(Refused());
}

bool TGridOutput::StartExport(const QString& File, std::function<void(TResult<bool> Written)> Done)
{
    auto result = std::make_shared<TResult<TOutputEnd>>(TOutputEnd::Cancelled);
    const TGridSnapshot snapshot = FSource.Grid();
    const TGridPrintHeading heading = FSource.Heading();
    return Run(
        QStringLiteral("正在导出：%1").arg(QFileInfo(File).fileName()),
        [result, snapshot, heading, File](TBackgroundTask& t) {
            *result = ExportGrid(snapshot, File, [&t](int done, int total) { return t.KeepGoing(done, total); }, heading);
        },
        [result, Done = std::move(Done)](bool) {
            if (!*result && !result->Error().Message.isEmpty())
                Done(result->Error());
            else
                Done(*result && result->Value() == TOutputEnd::Done);
        });
}

void TGridOutput::PrintToPdf(const QString& File, TDone Done)
{
    auto error = std::make_shared<QString>();
    const TGridSnapshot snapshot = FSource.Grid();
    const TGridPrintHeading heading = FSource.Heading();
    const bool started = Run(
        QStringLiteral("正在打印到：%1").arg(QFileInfo(File).fileName()),
        [error, snapshot, heading, File](TBackgroundTask& t) {
            const auto progress = [&t](int done, int total) { return t.KeepGoing(done, total); };
            *error = PrintGridToPdf(snapshot, heading, File, progress).Error().Message;
        },
        [error, Done](bool) { Done(error->isEmpty() ? TResult<>{} : TResult<>{TError{*error}}); });
    if (!started)
        Done(Refused());
}

QString TGridOutput::ChooseFile(const TSaveDialog& Dialog)
{
    QString folder = FFolder;
    if (folder.isEmpty() || !QFileInfo(folder).isDir())
        folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    QFileDialog dialog(FWindow, Dialog.Title, QDir(folder).filePath(Dialog.FileName),
                       Dialog.Filters.join(QStringLiteral(";;")));
    dialog.setObjectName(Dialog.ObjectName);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    // Qt's own dialog, in the module's language whatever the desktop's.
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    // A name typed without extension gets the chosen format's, before the
    // dialog asks about replacing a file of that name.
    dialog.setDefaultSuffix(SuffixOf(Dialog.Filters.value(0)));
    connect(&dialog, &QFileDialog::filterSelected, &dialog,
            [&dialog](const QString& filter) { dialog.setDefaultSuffix(SuffixOf(filter)); });
    // The name as the dialog took it when the user pressed 保存: what the dialog
    // shows afterwards may already be of a folder it went on reading.
    QString file;
    connect(&dialog, &QFileDialog::fileSelected, &dialog, [&file](const QString& f) { file = f; });
    if (dialog.exec() != QDialog::Accepted)
        return {};
    if (file.isEmpty())
        file = dialog.selectedFiles().value(0);
    if (file.isEmpty())
        return {};
    // However soon the dialog ended, a name without extension gets the chosen
    // format's; a file of that name is replaced only when the user says so.
    if (!QFileInfo(file).fileName().contains(QLatin1Char('.'))) {
        file += QLatin1Char('.') + SuffixOf(dialog.selectedNameFilter());
        const QString ask = QStringLiteral("%1 已存在。\n要替换它吗？").arg(QFileInfo(file).fileName());
        if (QFileInfo::exists(file) && FMessage(ask, MB_YESNO | MB_ICONQUESTION) != IDYES)
            return {};
    }
    FFolder = QFileInfo(file).absolutePath();
    return file;
}

void TGridOutput::ExportClick()
{
    if (FJob)
        return;
    TSaveDialog save;
    save.FileName = FSource.FileName();
    const QString file = ChooseFile(save);
    if (file.isEmpty())
        return;
    StartExport(file, [this, file](const TResult<bool>& written) {
        if (!written)
            Tell(written.Error().Message);
        else if (written.Value())
            ShowPlace(QStringLiteral("数据已导出到："), file);
    });
}

void TGridOutput::ShowPlace(const QString& What, const QString& File)
{
    if (!FPlace)
        return;
    // Not a box to close: the file's place, and its folder a click away.
    const QString folder = QFileInfo(File).absolutePath();
    FPlace->setText(QStringLiteral("%1%2　<a href=\"%3\">打开文件夹</a>")
                        .arg(What.toHtmlEscaped(), QDir::toNativeSeparators(File).toHtmlEscaped(),
                             QUrl::fromLocalFile(folder).toString(QUrl::FullyEncoded).toHtmlEscaped()));
    FPlace->setToolTip(QDir::toNativeSeparators(File));
    FPlace->show();
}

bool TGridOutput::ChoosePages(int Pages, int* First, int* Last, bool Preview)
{
    // A long print states its size first and takes a range of it.
    *First = 0;
    *Last = qMin(Pages, LongPrintPages) - 1;
    QDialog dialog(FWindow);
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

void TGridOutput::PreviewClick() { Preview(FSource.Grid(), FSource.Heading()); }

void TGridOutput::Preview(const TGridSnapshot& Grid, const TGridPrintHeading& Heading)
{
    int first = -1, last = -1;
    {
        QPrinter printer(QPrinter::HighResolution);
        ChooseOrientation(Grid, printer);
        const int pages = GridPageLayout(Grid, printer).PageCount;
        // A preview keeps every page it shows in memory: a long one, a range of it.
        if (pages > LongPrintPages && !ChoosePages(pages, &first, &last, true))
            return;
    }
    if (const TResult<> shown = PreviewGrid(Grid, Heading, FWindow, first, last); !shown)
        Tell(shown.Error().Message);
}

void TGridOutput::PrintClick()
{
    if (FJob)
        return;
    const TGridSnapshot snapshot = FSource.Grid();
    const TGridPrintHeading heading = FSource.Heading();
    auto printer = std::make_shared<QPrinter>(QPrinter::HighResolution);
    printer->setDocName(heading.Title);
    int first = -1, last = -1;
    // The dialog says how many pages there are and takes a range of them.
    if (!ChoosePrinter(snapshot, *printer, FWindow, &first, &last))
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
    Run(
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
                ShowPlace(QStringLiteral("已打印到："), printer->outputFileName());
            else if (printed->Done && FPlace) {
                FPlace->setText(QStringLiteral("已送往打印机：%1").arg(printer->printerName().toHtmlEscaped()));
                FPlace->show();
            }
        });
}
