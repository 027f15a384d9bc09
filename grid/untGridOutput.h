#pragma once
// One grid's export and print as the user asks for them: the menu items, the save
// and page-range dialogs, the preview, the place an output went, and the output's
// work on a worker, one at a time. The window shows the work's progress (the
// signals) and offers 取消 (Cancel); the component never reaches into it.
#include "grid/untGridExport.h"
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>

class QAction;
class QLabel;
class QMenu;
class QWidget;
class TBackgroundTask;

class TGridOutput : public QObject {
    Q_OBJECT
public:
    // A message box: the text and the toolkit's MB_ flags, the answer an ID.
    using TMessage = std::function<int(const QString& Text, int Flags)>;
    using TDone = std::function<void(TResult<>)>;
    // What the menu items put out, read when the user asks.
    struct TSource {
        std::function<TGridSnapshot()> Grid;
        std::function<TGridPrintHeading()> Heading;
        std::function<QString()> FileName;   // what the export dialog proposes
    };
    struct TSaveDialog {
        QString Title = QStringLiteral("导出");
        QString ObjectName = QStringLiteral("dlgExport");
        QString FileName;   // in the folder of the latest export, else the documents folder
        QStringList Filters = {XlsxFilter(), CsvFilter()};
    };
    static QString XlsxFilter() { return QStringLiteral("Excel 工作簿 (*.xlsx)"); }
    static QString CsvFilter() { return QStringLiteral("CSV 文件（逗号分隔） (*.csv)"); }
    // A preview of more pages than this asks for a range first.
    static constexpr int LongPrintPages = 300;

    // Window: the dialogs' parent. Source: needed by the menu items and the
    // script calls only.
    TGridOutput(QWidget* Window, TMessage Message, TSource Source, QObject* Parent);
    ~TGridOutput() override;

    struct TActions {
        QAction* Export;
        QAction* Preview;
        QAction* Print;
        QAction* Separator;
    };
    // 导出…, 打印预览…, 打印…, named Prefix + Export/PrintPreview/Print/OutputSep.
    // Before given, they and then their separator go before it; none, the
    // separator and then they go at the menu's end. KeyScope given, the items get
    // their keys, which work wherever the focus is in it.
    TActions AddMenuItems(QMenu* Menu, QAction* Before, const QString& Prefix, QWidget* KeyScope = nullptr);
    // Where "导出到…" is said, with a link that opens the folder.
    void SetPlaceLabel(QLabel* Label);
    // Each job in a progress dialog over the window (after 300 ms), named Name
    // and titled Caption, whose 取消 cancels it; Label says what is done so far.
    void ShowProgressDialogs(const QString& Name, const QString& Caption, std::function<QString(int Done)> Label);
    // Message boxes over Window: a question for MB_YESNO, else a warning.
    static TMessage MessageBoxes(QWidget* Window, const QString& Caption);

    void ExportClick();
    void PreviewClick();
    void PrintClick();
    // The save dialog; the file chosen, empty when the user cancelled. A name
    // without extension gets the chosen type's, and replaces a file only when the
    // user says so.
    QString ChooseFile(const TSaveDialog& Dialog);
    // Pages of a long grid in a preview (at most LongPrintPages of it, a range
    // asked for when more); a failure told.
    void Preview(const TGridSnapshot& Grid, const TGridPrintHeading& Heading);
    void ShowPlace(const QString& What, const QString& File);

    // The scripts' outputs of the grid as shown. A failure is the message the
    // user would be shown; a cancelled export is no failure.
    void ExportFile(const QString& File, TDone Done);
    void PrintToPdf(const QString& File, TDone Done);

    // Starts Body on a worker and returns; Done(false when cancelled) runs on the
    // interface thread when it has ended, never after the component went. False,
    // and nothing started, while another output is on.
    bool Run(const QString& What, std::function<void(TBackgroundTask&)> Body, std::function<void(bool Completed)> Done);
    // Run of a body that gives a result, which Done gets (what it threw as a
    // failure); Refused() at once while another output is on.
    template <class T>
    void RunResult(const QString& What, std::function<TResult<T>(TBackgroundTask&)> Body,
                   std::function<void(TResult<T>)> Done);
    bool Busy() const { return FJob != nullptr; }
    void Cancel();
    // An output on stops unheard of: its Done is never run. For an owner that goes.
    void Abandon();
    // The answer to an output asked for while another is on.
    static TError Refused();

signals:
    void started(const QString& What);
    void progress(int Done, int Total);
    void ended();

private:
    // Done gets what failed (nothing when cancelled) or whether the file was written.
    bool StartExport(const QString& File, std::function<void(TResult<bool> Written)> Done);
    bool ChoosePages(int Pages, int* First, int* Last, bool Preview);
    void Tell(const QString& Text);

    QWidget* FWindow;
    TMessage FMessage;
    TSource FSource;
    QPointer<QLabel> FPlace;
    QString FFolder;   // where the latest export went
    TBackgroundTask* FJob = nullptr;
};

template <class T>
void TGridOutput::RunResult(const QString& What, std::function<TResult<T>(TBackgroundTask&)> Body,
                            std::function<void(TResult<T>)> Done)
{
    auto result = std::make_shared<std::optional<TResult<T>>>();
    const auto body = [result, Body = std::move(Body)](TBackgroundTask& t) {
        try {
            result->emplace(Body(t));
        } catch (const std::exception& e) {
            result->emplace(TError::From(e));
        }
    };
    if (!Run(What, body, [result, Done](bool) { Done(std::move(**result)); }))
        Done(Refused());
}
