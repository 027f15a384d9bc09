#include "grid/untGridExport.h"

#include "toolkit/Decimal.h"
#include "toolkit/NextGrid.h"
#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
#include <QTemporaryFile>
#include <cerrno>
#include <csignal>
#include <filesystem>
#include <system_error>
#include <xlsxwriter.h>
#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace {

enum class TExportResult { Done, Failed, Cancelled };

// Rows between two progress reports: often enough for a responsive dialog, rare
// enough to cost nothing.
constexpr int kProgressStep = 2048;
// Excel's limit on the characters of one cell.
constexpr int kCellTextMax = 32767;

std::filesystem::path NativePath(const QString& file)
{
#ifdef Q_OS_WIN
    return std::filesystem::path(file.toStdWString());
#else
    return std::filesystem::path(QFile::encodeName(file).toStdString());
#endif
}

QString Reason(const std::error_code& ec)
{
    const std::error_condition c = ec.default_error_condition();
    if (c == std::errc::permission_denied || c == std::errc::operation_not_permitted)
        return QStringLiteral("没有写入权限");
    if (c == std::errc::no_such_file_or_directory)
        return QStringLiteral("文件夹不存在");
    if (c == std::errc::no_space_on_device)
        return QStringLiteral("磁盘空间不足");
    if (c == std::errc::is_a_directory || c == std::errc::directory_not_empty)
        return QStringLiteral("已有同名的文件夹");
    if (c == std::errc::read_only_file_system)
        return QStringLiteral("磁盘是只读的");
    if (c == std::errc::not_a_directory)
        return QStringLiteral("路径中有一段不是文件夹");
    if (c == std::errc::file_too_large)
        return QStringLiteral("文件过大");
    return QString::fromLocal8Bit(ec.message().c_str());
}

// Why a write failed, from the system's own code where there is one.
QString WriteReason(const QFile& file)
{
    if (errno != 0)
        return Reason(std::error_code(errno, std::generic_category()));
    return file.errorString();
}

// Reports progress; false when the export must stop (cancelled).
struct Reporter {
    const TExportProgress& progress;
    int total;
    TExportResult stop = TExportResult::Done;
    QString error;

    bool Report(int done)
    {
        if (!progress)
            return true;
        if (!progress(done, total)) {
            stop = TExportResult::Cancelled;
            return false;
        }
        return true;
    }
};

// ---------------------------------------------------------------- xlsx

// Sheet names: at most 31 characters, none of []:*?/\ and no apostrophe at either end.
QByteArray SheetName(const QString& wanted)
{
    QString name;
    for (QChar c : wanted)
        if (!QStringLiteral("[]:*?/\\").contains(c) && c.unicode() >= 0x20)
            name += c;
    while (name.startsWith(QLatin1Char('\'')))
        name.remove(0, 1);
    while (name.endsWith(QLatin1Char('\'')))
        name.chop(1);
    name.truncate(31);
    if (name.endsWith(QLatin1Char('\'')) || (!name.isEmpty() && name.back().isHighSurrogate()))
        name.chop(1);
    return name.trimmed().toUtf8();
}

// The workbook library's failures in the module's words.
QString LibraryReason(lxw_error e)
{
    switch (e) {
    case LXW_ERROR_MEMORY_MALLOC_FAILED:
        return QStringLiteral("内存不足");
    case LXW_ERROR_CREATING_XLSX_FILE:
    case LXW_ERROR_CREATING_TMPFILE:
    case LXW_ERROR_READING_TMPFILE:
        return QStringLiteral("无法写入文件，请检查文件夹的写入权限和磁盘空间");
    case LXW_ERROR_ZIP_FILE_OPERATION:
    case LXW_ERROR_ZIP_PARAMETER_ERROR:
    case LXW_ERROR_ZIP_BAD_ZIP_FILE:
    case LXW_ERROR_ZIP_INTERNAL_ERROR:
    case LXW_ERROR_ZIP_FILE_ADD:
    case LXW_ERROR_ZIP_CLOSE:
        return QStringLiteral("写入 Excel 工作簿时出错，请检查磁盘空间");
    case LXW_ERROR_MAX_STRING_LENGTH_EXCEEDED:
        return QStringLiteral("内容超过 Excel 单元格 %1 个字符的上限").arg(kCellTextMax);
    default:
        return QStringLiteral("Excel 工作簿无法写入（错误 %1）").arg(int(e));
    }
}

QString CellReason(lxw_error e) { return LibraryReason(e); }

// Columns whose texts are codes: written as text, so that Excel keeps their
// leading zeros and does not turn them into numbers or dates.
bool CodeColumn(const QString& name)
{
    static const QStringList codes{QStringLiteral("budgid"), QStringLiteral("eid"), QStringLiteral("inibudgid"),
                                   QStringLiteral("ecode")};
    return codes.contains(name.toLower()) || name.toLower().endsWith(QLatin1String("id"));
}

// The number format of a column of dates (录入日期) or times (the journal's 时间); null for others.
const char* DateFormat(const QString& name)
{
    if (name.compare(QLatin1String("inputdate"), Qt::CaseInsensitive) == 0)
        return "yyyy-mm-dd";
    if (name.compare(QLatin1String("loggedat"), Qt::CaseInsensitive) == 0)
        return "yyyy-mm-dd hh:mm:ss";
    return nullptr;
}
// 序号: the row's number, which sorts as a number.
bool RowNumberColumn(const QString& name) { return name.compare(QLatin1String("numid"), Qt::CaseInsensitive) == 0; }

// A date as the databases give one ("2024-03-15", "2024-03-15 10:20:00",
// "2024/3/15", ISO with T); false for anything else, which stays text.
bool DateOf(const QString& text, lxw_datetime* out)
{
    static const QStringList formats{QStringLiteral("yyyy-MM-dd"), QStringLiteral("yyyy-MM-dd HH:mm:ss"),
                                     QStringLiteral("yyyy-MM-ddTHH:mm:ss"), QStringLiteral("yyyy/M/d"),
                                     QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"), QStringLiteral("yyyy/M/d H:mm:ss")};
    const QString t = text.trimmed();
    for (const QString& f : formats) {
        const QDateTime d = QDateTime::fromString(t, f);
        if (d.isValid() && d.date().year() >= 1900) {
            *out = {d.date().year(), d.date().month(), d.date().day(), d.time().hour(), d.time().minute(),
                    double(d.time().second())};
            return true;
        }
    }
    return false;
}

bool WholeNumber(const QString& text, double* value)
{
    bool ok = false;
    const qlonglong v = text.toLongLong(&ok);
    if (!ok || v < -(1LL << 53) || v > (1LL << 53))
        return false;
    *value = double(v);
    return true;
}

// A column's letters in a cell reference (0: A, 26: AA).
QByteArray ColumnLetters(size_t col)
{
    QByteArray letters;
    for (size_t c = col + 1; c > 0; c = (c - 1) / 26)
        letters.prepend(char('A' + (c - 1) % 26));
    return letters;
}

// file: the temporary file the library writes; target: the user's, for messages.
TExportResult WriteXlsx(const TGridSnapshot& shown, const QString& file, const QString& target,
                        const TGridPrintHeading& heading, Reporter& reporter, QString* error)
{
    const std::vector<TGridSnapshot::Column>& columns = shown.Columns;
    if (shown.Rows.size() + 1 > size_t(LXW_ROW_MAX)) {
        *error = QStringLiteral("表格共 %1 行，超过 Excel 工作表 %2 行的上限，请导出为 CSV 文件")
                     .arg(shown.Rows.size())
                     .arg(LXW_ROW_MAX - 1);
        return TExportResult::Failed;
    }
    if (columns.size() > size_t(LXW_COL_MAX)) {
        *error = QStringLiteral("表格共 %1 列，超过 Excel 工作表 %2 列的上限").arg(columns.size()).arg(LXW_COL_MAX);
        return TExportResult::Failed;
    }

    const QByteArray path = QFile::encodeName(file);
    lxw_workbook_options options{};
    // Rows go to disk as they are written: a 100 000-row grid costs no more memory than one row.
    options.constant_memory = LXW_TRUE;
    lxw_workbook* book = workbook_new_opt(path.constData(), &options);
    if (!book) {
        *error = OutputFileError(target, QStringLiteral("无法创建 Excel 工作簿"));
        return TExportResult::Failed;
    }
    struct BookGuard {
        lxw_workbook* book;
        ~BookGuard()
        {
            if (book)
                lxw_workbook_free(book);
        }
    } guard{book};

    const QByteArray sheetName = SheetName(heading.Title);
    lxw_worksheet* ws = workbook_add_worksheet(book, sheetName.isEmpty() ? nullptr : sheetName.constData());
    if (!ws) {
        *error = OutputFileError(target, QStringLiteral("无法创建工作表"));
        return TExportResult::Failed;
    }

    lxw_format* header = workbook_add_format(book);
    format_set_bold(header);
    format_set_align(header, LXW_ALIGN_CENTER);
    format_set_bg_color(header, 0xE8E8E8);
    format_set_bottom(header, LXW_BORDER_THIN);
    std::vector<lxw_format*> dateFormat(columns.size(), nullptr);
    for (size_t j = 0; j < columns.size(); ++j)
        if (const char* mask = DateFormat(columns[j].Name)) {
            dateFormat[j] = workbook_add_format(book);
            format_set_num_format(dateFormat[j], mask);
        }
    lxw_format* footerText = workbook_add_format(book);
    format_set_bold(footerText);
    format_set_top(footerText, LXW_BORDER_THIN);
    std::vector<lxw_format*> numberFormat(columns.size(), nullptr);
    std::vector<lxw_format*> footerFormat(columns.size(), footerText);
    for (size_t j = 0; j < columns.size(); ++j) {
        if (!columns[j].Number || columns[j].FormatMask.isEmpty())
            continue;
        const QByteArray mask = columns[j].FormatMask.toUtf8();
        numberFormat[j] = workbook_add_format(book);
        format_set_num_format(numberFormat[j], mask.constData());
        footerFormat[j] = workbook_add_format(book);
        format_set_num_format(footerFormat[j], mask.constData());
        format_set_bold(footerFormat[j]);
        format_set_top(footerFormat[j], LXW_BORDER_THIN);
    }

    for (size_t j = 0; j < columns.size(); ++j) {
        const auto col = lxw_col_t(j);
        worksheet_set_column_pixels(ws, col, col, uint32_t(qMax(0, columns[j].Width)), nullptr);
    }
    // As an office files it: what the table is, then the table.
    lxw_row_t top = 0;
    if (!heading.Details.isEmpty()) {
        lxw_format* title = workbook_add_format(book);
        format_set_bold(title);
        format_set_font_size(title, 14);
        const QByteArray t = heading.Title.toUtf8(), d = heading.Details.toUtf8();
        if (worksheet_write_string(ws, 0, 0, t.constData(), title) || worksheet_write_string(ws, 1, 0, d.constData(), nullptr)) {
            *error = OutputFileError(target, QStringLiteral("无法写入表头"));
            return TExportResult::Failed;
        }
        top = 3;
    }
    worksheet_freeze_panes(ws, top + 1, 0);
    lxw_format* textFormat = workbook_add_format(book);
    format_set_num_format(textFormat, "@");

    auto fail = [&](size_t row, size_t col, lxw_error e) {
        const QString where = row == 0 ? QStringLiteral("表头") : QStringLiteral("第 %1 行").arg(row);
        *error = QStringLiteral("%1“%2”列：%3，无法导出为 Excel 文件").arg(where, columns[col].Caption, CellReason(e));
        return TExportResult::Failed;
    };
    for (size_t j = 0; j < columns.size(); ++j) {
        const QByteArray caption = columns[j].Caption.toUtf8();
        if (const lxw_error e = worksheet_write_string(ws, top, lxw_col_t(j), caption.constData(), header))
            return fail(0, j, e);
    }

    const TNxCellStore* model = &shown.Cells;
    const size_t rows = shown.Rows.size();
    const size_t dataRows = shown.FooterRow >= 0 && rows > 0 ? rows - 1 : rows;
    // The filter covers the table's rows, not its totals.
    if (columns.size() > 0)
        worksheet_autofilter(ws, top, 0, lxw_row_t(top + dataRows), lxw_col_t(columns.size() - 1));
    // Each number column's sum of the rows above the totals, exact: a total that
    // is that sum (or half of it) is written as the formula that makes it.
    std::vector<TDecimalSum> sums(columns.size());
    for (size_t i = 0; i < rows; ++i) {
        if (i % kProgressStep == 0 && !reporter.Report(int(i))) {
            *error = reporter.error;
            return reporter.stop;
        }
        const int r = shown.Rows[i];
        const bool footer = r == shown.FooterRow;
        const auto xr = lxw_row_t(top + 1 + i);
        for (size_t j = 0; j < columns.size(); ++j) {
            const int c = columns[j].Index;
            const auto xc = lxw_col_t(j);
            lxw_format* format = footer ? footerFormat[j] : numberFormat[j];
            lxw_error e = LXW_NO_ERROR;
            bool isNumber = false;
            const double value = columns[j].Number ? model->Number(c, r, &isNumber) : 0.0;
            double whole = 0;
            lxw_datetime date{};
            if (isNumber && footer) {
                TDecimalSum total, half = sums[j];
                half.Halve();
                const QByteArrayView text = model->Utf8(c, r);
                total.Add(text.data(), size_t(text.size()));
                const bool sum = total == sums[j], halved = !sum && total == half;
                if ((sum || halved) && dataRows > 0) {
                    const QByteArray letters = ColumnLetters(j);
                    const QByteArray formula = "=SUBTOTAL(109," + letters + QByteArray::number(top + 2) + ':'
                                               + letters + QByteArray::number(qulonglong(top + 1 + dataRows)) + ')'
                                               + (halved ? "/2" : "");
                    e = worksheet_write_formula_num(ws, xr, xc, formula.constData(), format, value);
                } else {
                    e = worksheet_write_number(ws, xr, xc, value, format);
                }
            } else if (isNumber) {
                const QByteArrayView text = model->Utf8(c, r);
                sums[j].Add(text.data(), size_t(text.size()));
                e = worksheet_write_number(ws, xr, xc, value, format);
            } else if (!footer && RowNumberColumn(columns[j].Name) && WholeNumber(model->Text(c, r), &whole)) {
                e = worksheet_write_number(ws, xr, xc, whole, nullptr);
            } else if (!footer && dateFormat[j] && DateOf(model->Text(c, r), &date)) {
                e = worksheet_write_datetime(ws, xr, xc, &date, dateFormat[j]);
            } else {
                const QString text = model->Text(c, r);
                if (!footer)
                    format = CodeColumn(columns[j].Name) ? textFormat : nullptr;
                if (!text.isEmpty()) {
                    const QByteArray bytes = text.toUtf8();
                    e = worksheet_write_string(ws, xr, xc, bytes.constData(), format);
                } else if (footer) {
                    // The totals row keeps its look across empty cells.
                    e = worksheet_write_blank(ws, xr, xc, format);
                }
            }
            if (e != LXW_NO_ERROR)
                return fail(i + 1, j, e);
        }
    }
    const QString capitals = TotalInCapitals(shown, heading.AmountColumn);
    if (!capitals.isEmpty()) {
        const QByteArray bytes = capitals.toUtf8();
        lxw_format* bold = workbook_add_format(book);
        format_set_bold(bold);
        if (worksheet_write_string(ws, lxw_row_t(top + 1 + rows), 0, bytes.constData(), bold)) {
            *error = OutputFileError(target, QStringLiteral("无法写入合计（大写）"));
            return TExportResult::Failed;
        }
    }
    if (!reporter.Report(int(rows))) {
        *error = reporter.error;
        return reporter.stop;
    }

    guard.book = nullptr;   // closing frees it, also when it fails
    if (const lxw_error e = workbook_close(book)) {
        *error = OutputFileError(target, LibraryReason(e));
        return TExportResult::Failed;
    }
    return TExportResult::Done;
}

// ---------------------------------------------------------------- csv

// A value that would start a formula when the file is opened in a spreadsheet
// program is kept as text there by a leading apostrophe.
bool LooksLikeFormula(QStringView text)
{
    if (text.isEmpty())
        return false;
    const QChar c = text.front();
    return c == QLatin1Char('=') || c == QLatin1Char('+') || c == QLatin1Char('-') || c == QLatin1Char('@')
           || c == QLatin1Char('\t') || c == QLatin1Char('\r');
}

void AppendField(QByteArray& out, const QString& text, bool guard)
{
    const bool formula = guard && LooksLikeFormula(text);
    bool quote = false;
    for (QChar c : text)
        if (c == QLatin1Char(',') || c == QLatin1Char('"') || c == QLatin1Char('\r') || c == QLatin1Char('\n')) {
            quote = true;
            break;
        }
    if (!quote) {
        if (formula)
            out += '\'';
        out += text.toUtf8();
        return;
    }
    out += '"';
    if (formula)
        out += '\'';
    const QByteArray bytes = text.toUtf8();
    for (char b : bytes) {
        if (b == '"')
            out += '"';
        out += b;
    }
    out += '"';
}

TExportResult WriteCsv(const TGridSnapshot& shown, QFile& file, const QString& target, Reporter& reporter,
                       QString* error)
{
    const std::vector<TGridSnapshot::Column>& columns = shown.Columns;
    const TNxCellStore* model = &shown.Cells;
    QByteArray out;
    out.reserve(1 << 20);
    auto flush = [&] {
        errno = 0;
        if (file.write(out) != out.size()) {
            *error = OutputFileError(target, WriteReason(file));
            return false;
        }
        out.clear();
        return true;
    };

    out += "\xEF\xBB\xBF";
    for (size_t j = 0; j < columns.size(); ++j) {
        if (j)
            out += ',';
        AppendField(out, columns[j].Caption, true);
    }
    out += "\r\n";

    const size_t rows = shown.Rows.size();
    for (size_t i = 0; i < rows; ++i) {
        if (i % kProgressStep == 0 && !reporter.Report(int(i))) {
            *error = reporter.error;
            return reporter.stop;
        }
        const int r = shown.Rows[i];
        for (size_t j = 0; j < columns.size(); ++j) {
            if (j)
                out += ',';
            const int c = columns[j].Index;
            bool isNumber = false;
            if (columns[j].Number)
                model->Number(c, r, &isNumber);
            AppendField(out, model->Text(c, r), !isNumber);
        }
        out += "\r\n";
        if (out.size() >= (1 << 20) && !flush())
            return TExportResult::Failed;
    }
    if (!reporter.Report(int(rows))) {
        *error = reporter.error;
        return reporter.stop;
    }
    if (!flush() || !file.flush()) {
        if (error->isEmpty())
            *error = OutputFileError(target, WriteReason(file));
        return TExportResult::Failed;
    }
    return TExportResult::Done;
}

}  // namespace

std::optional<long long> TotalCents(const TGridSnapshot& Grid, const QString& Column)
{
    if (Grid.FooterRow < 0 || Column.isEmpty())
        return std::nullopt;
    for (const TGridSnapshot::Column& c : Grid.Columns)
        if (c.Name.compare(Column, Qt::CaseInsensitive) == 0) {
            TDecimalSum total;
            const QByteArrayView text = Grid.Cells.Utf8(c.Index, Grid.FooterRow);
            if (!total.Add(text.data(), size_t(text.size())) || total.OutOfRange())
                return std::nullopt;
            return total.Cents();
        }
    return std::nullopt;
}

QString TotalInCapitals(const TGridSnapshot& Grid, const QString& Column)
{
    const std::optional<long long> cents = TotalCents(Grid, Column);
    return cents ? QStringLiteral("合计（大写）：") + ChineseCapitals(*cents) : QString();
}

TExportFormat ExportFormatOf(const QString& FileName)
{
    const QString suffix = QFileInfo(FileName).suffix().toLower();
    if (suffix == QLatin1String("xlsx"))
        return TExportFormat::Xlsx;
    if (suffix == QLatin1String("csv"))
        return TExportFormat::Csv;
    return TExportFormat::Unknown;
}

QString OutputFileError(const QString& FileName, const QString& Reason)
{
    return QStringLiteral("无法写入文件“%1”：%2").arg(QDir::toNativeSeparators(FileName), Reason);
}

TResult<TOutputEnd> ExportGrid(const TNextGrid& Grid, const QString& FileName, const TExportProgress& Progress,
                               const TGridPrintHeading& Heading)
{
    if (Grid.Updating())
        return TError{QStringLiteral("表格正在更新，请稍后再导出")};
    return ExportGrid(Grid.Snapshot(), FileName, Progress, Heading);
}

TResult<TOutputEnd> ExportGrid(const TGridSnapshot& Grid, const QString& FileName, const TExportProgress& Progress,
                               const TGridPrintHeading& Heading)
{
    const TExportFormat format = ExportFormatOf(FileName);
    if (format == TExportFormat::Unknown)
        return TError{QStringLiteral("不支持的导出格式“%1”：请选择 .xlsx（Excel 工作簿）或 .csv 文件")
                          .arg(QFileInfo(FileName).suffix())};
    const TGridSnapshot& shown = Grid;
    if (shown.Columns.empty())
        return TError{QStringLiteral("表格中没有可导出的列")};

    TOutputFile out(FileName);
    if (TResult<> opened = out.Open(); !opened)
        return opened.Error();
    Reporter reporter{Progress, int(shown.Rows.size()), TExportResult::Done, QString()};
    TExportResult result = TExportResult::Failed;
    QString error;
    try {
        if (format == TExportFormat::Csv) {
            result = WriteCsv(shown, out.File(), FileName, reporter, &error);
        } else {
            // The library writes the file by its name; ours stays reserved, closed.
            out.File().close();
            result = WriteXlsx(shown, out.TemporaryName(), FileName, Heading, reporter, &error);
        }
    } catch (const std::bad_alloc&) {
        error = QStringLiteral("内存不足，无法导出");
        result = TExportResult::Failed;
    }
    // Anything but success: the temporary file goes with `out`.
    if (result == TExportResult::Cancelled)
        return TOutputEnd::Cancelled;
    if (result == TExportResult::Failed)
        return TError{error.isEmpty() ? OutputFileError(FileName, QStringLiteral("未知错误")) : error};
    if (TResult<> committed = out.Commit(); !committed)
        return committed.Error();
    return TOutputEnd::Done;
}

// ---------------------------------------------------------------- TOutputFile

TOutputFile::TOutputFile(const QString& Target) : FTarget(Target) {}

TOutputFile::~TOutputFile() = default;   // QTemporaryFile removes an uncommitted file

QString TOutputFile::TemporaryName() const { return FFile ? FFile->fileName() : QString(); }

TResult<> TOutputFile::Open()
{
    if (FTarget.trimmed().isEmpty())
        return TError{QStringLiteral("没有指定文件名")};
#ifdef Q_OS_UNIX
    // Past a file-size limit a write fails with EFBIG, told as 文件过大, instead
    // of the signal ending the whole program.
    static const bool sizeSignalIgnored = (std::signal(SIGXFSZ, SIG_IGN), true);
    Q_UNUSED(sizeSignalIgnored);
#endif
    QFileInfo info(FTarget);
    // A link stands for the file it leads to: that one is replaced, the link stays.
    if (info.isSymLink()) {
        const QString final = info.canonicalFilePath();
        info = QFileInfo(final.isEmpty() ? info.symLinkTarget() : final);
    }
    FPath = info.absoluteFilePath();
    const QFileInfo folder(info.absolutePath());
    // By its mode, as its owner set it (a superuser could write it all the same).
    if (info.exists() && info.isFile()
        && (!info.isWritable() || !(info.permissions() & QFile::WriteOwner))) {
        // Its owner made it so: not replaced behind their back.
        return TError{OutputFileError(FTarget, QStringLiteral("文件是只读的，没有替换它"))};
    }
    if (info.isDir())
        return TError{OutputFileError(FTarget, QStringLiteral("已有同名的文件夹"))};
    if (!folder.exists())
        return TError{OutputFileError(FTarget, QStringLiteral("文件夹“%1”不存在")
                                              .arg(QDir::toNativeSeparators(folder.absoluteFilePath())))};
    if (!folder.isDir())
        return TError{OutputFileError(FTarget, QStringLiteral("“%1”不是文件夹")
                                              .arg(QDir::toNativeSeparators(folder.absoluteFilePath())))};
    // Hidden, beside the target, with its extension (the PDF printer goes by it).
    QString pattern = QLatin1Char('.') + info.completeBaseName() + QStringLiteral("-XXXXXX");
    if (!info.suffix().isEmpty())
        pattern += QLatin1Char('.') + info.suffix();
    FFile = std::make_unique<QTemporaryFile>(QDir(info.absolutePath()).filePath(pattern));
    errno = 0;
    if (!FFile->open()) {
        const int e = errno;
        const TError failure{OutputFileError(FTarget, e ? Reason(std::error_code(e, std::generic_category()))
                                                        : FFile->errorString())};
        FFile.reset();
        return failure;
    }
    return {};
}

TResult<> TOutputFile::Commit()
{
    if (!FFile)
        return TError{OutputFileError(FTarget, QStringLiteral("临时文件未创建"))};
    if (FFile->isOpen()) {
        errno = 0;
        const bool flushed = FFile->flush();
        FFile->close();
        if (!flushed || FFile->error() != QFileDevice::NoError)
            return TError{OutputFileError(FTarget, WriteReason(*FFile))};
    }
    const QString temp = FFile->fileName();
#ifdef Q_OS_UNIX
    // On disk before the name moves: after a power cut the target is the old file
    // or the whole new one, never an empty one.
    {
        QFile f(temp);
        if (!f.open(QIODevice::ReadOnly) || ::fsync(f.handle()) != 0)
            return TError{OutputFileError(FTarget, Reason(std::error_code(errno, std::generic_category())))};
    }
#endif
    // A replaced file keeps its permissions; a new one is readable by others, as
    // a file saved by hand would be (the temporary file is the owner's alone).
    const QString path = FPath.isEmpty() ? FTarget : FPath;
    const QFileInfo target(path);
    const QFile::Permissions permissions =
        target.exists() ? QFile::permissions(path)
                        : (QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser
                           | QFile::ReadGroup | QFile::ReadOther);
    QFile::setPermissions(temp, permissions);
    std::error_code ec;
    std::filesystem::rename(NativePath(temp), NativePath(path), ec);
    if (ec)
        return TError{OutputFileError(FTarget, Reason(ec))};
    FFile->setAutoRemove(false);
    return {};
}
