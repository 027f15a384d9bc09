#pragma once
// Export of a grid as the user sees it, to an Excel workbook or a CSV file, and
// the safe way of putting an output file in place that printing to PDF shares.
#include <QDateTime>
#include <QString>
#include <functional>
#include <optional>
#include <memory>
#include <vector>

#include "data/untError.h"
#include "toolkit/GridSnapshot.h"

class QTemporaryFile;
class TNextGrid;

// What output says above the grid: the window's caption, and the unit and the
// filters the grid shows.
struct TGridPrintHeading {
    QString Title;     // printed bold; the workbook's sheet name
    QString Details;   // after the title; with it a workbook gets heading lines
    // The column whose total is written in capitals under the table (合计（大写）),
    // by name; none when empty or not shown.
    QString AmountColumn;
    QString Operator;      // 制表人 under a printed table
    QDateTime PrintedAt;   // 打印时间 on every page; the moment of printing when not set
};

// The totals row's amount of the named column in cents; nothing without a totals
// row, the column or a number in it.
std::optional<long long> TotalCents(const TGridSnapshot& Grid, const QString& Column);
// "合计（大写）：人民币…" of that total; empty without one.
QString TotalInCapitals(const TGridSnapshot& Grid, const QString& Column);

enum class TExportFormat { Unknown, Xlsx, Csv };
// From the file name's extension, letter case aside.
TExportFormat ExportFormatOf(const QString& FileName);

// How an output that did not fail ended: complete, or cancelled by its progress.
enum class TOutputEnd { Done, Cancelled };

// Rows written so far and rows in all; returning false cancels the export.
using TExportProgress = std::function<bool(int Done, int Total)>;

// Writes what the grid shows (a snapshot of it) to FileName in the format of its
// extension. The file appears only when complete: a failed or cancelled export
// leaves no file of its own and an existing file of that name as it was; a
// failure says why. What happens to the grid meanwhile changes nothing written.
// A workbook is filed as an office would and worked in as a spreadsheet user
// expects: the heading above the table (with Details), a filter on the header
// row, codes as text, dates as dates, 序号 and amounts as numbers in the grid's
// format, each total as a SUBTOTAL formula over the rows above it (so that it
// follows the filter) with its value written too, and the amount's total in
// capitals under the table.
TResult<TOutputEnd> ExportGrid(const TGridSnapshot& Grid, const QString& FileName, const TExportProgress& Progress = {},
                               const TGridPrintHeading& Heading = {});
// The same of the grid as it is now.
TResult<TOutputEnd> ExportGrid(const TNextGrid& Grid, const QString& FileName, const TExportProgress& Progress = {},
                               const TGridPrintHeading& Heading = {});

// A file written under a temporary name in its target's folder and renamed onto
// the target only by Commit, replacing what was there. Until then the target is
// untouched; the temporary file goes when the object goes uncommitted.
class TOutputFile {
public:
    explicit TOutputFile(const QString& Target);
    ~TOutputFile();
    TOutputFile(const TOutputFile&) = delete;
    TOutputFile& operator=(const TOutputFile&) = delete;

    // Creates the temporary file, left open for writing. An existing target the
    // user may not write is refused; a target that is a symbolic link stands for
    // the file it leads to, which is replaced (the link stays).
    TResult<> Open();
    QTemporaryFile& File() { return *FFile; }
    QString TemporaryName() const;
    QString Target() const { return FTarget; }
    TResult<> Commit();

private:
    QString FTarget;   // as the user named it
    QString FPath;     // the file written: the target, or the file a link leads to
    std::unique_ptr<QTemporaryFile> FFile;
};

// "无法写入文件“name”：reason", the one form every output failure is told in.
QString OutputFileError(const QString& FileName, const QString& Reason);
