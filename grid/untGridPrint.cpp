#include "grid/untGridPrint.h"

#include "grid/untGridExport.h"
#include "toolkit/NextGrid.h"
#include <QFileInfo>
#include <QFontMetricsF>
#include <QPageLayout>
#include <QPainter>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <QDateTime>
#include <algorithm>
#include <cmath>

namespace {

// The grid's widths are screen pixels of a 96 dpi screen.
constexpr double kScreenDpi = 96.0;
constexpr double kBodyPoints = 9.0;
constexpr double kSmallestPoints = 5.0;
constexpr double kTitlePoints = 11.0;

QFont PrintFont(double points, bool bold)
{
    QFont f;
    // A CJK face first, so that the Chinese texts do not depend on font fallback.
    f.setFamilies({QStringLiteral("WenQuanYi Micro Hei"), QStringLiteral("Noto Sans CJK SC"),
                   QStringLiteral("Microsoft YaHei"), QStringLiteral("SimSun")});
    f.setPointSizeF(points);
    f.setBold(bold);
    return f;
}

// The screen width of a column's widest text: the few longest texts measured.
double WidestText(const TGridSnapshot& shown, const TGridSnapshot::Column& c, const QFontMetricsF& fm)
{
    std::vector<std::pair<qsizetype, int>> longest;   // (bytes, row)
    for (const int r : shown.Rows) {
        const qsizetype n = shown.Cells.Utf8(c.Index, r).size();
        if (longest.size() < 8 || n > longest.back().first) {
            longest.emplace_back(n, r);
            std::sort(longest.begin(), longest.end(), [](auto a, auto b) { return a.first > b.first; });
            if (longest.size() > 8)
                longest.pop_back();
        }
    }
    double widest = fm.horizontalAdvance(c.Caption);
    for (const auto& [bytes, row] : longest)
        widest = qMax(widest, fm.horizontalAdvance(shown.DisplayText(c, row)));
    return widest;
}

double TotalWidth(const TGridSnapshot& shown)
{
    double total = 0;
    for (const TGridSnapshot::Column& c : shown.Columns)
        total += qMax(0, c.Width);
    return total;
}

// Under the last row: the total in capitals, then the three who sign, with room
// to sign above their line.
constexpr double kClosingRows = 4.0;

class PageLayout {
public:
    PageLayout(const TGridSnapshot& grid, QPrinter& printer, const TGridPrintHeading& heading)
        : FShown(grid), FHeading(heading)
    {
        const int dpi = printer.resolution();
        const QRect page = printer.pageLayout().paintRectPixels(dpi);
        FWidth = page.width();
        FHeight = page.height();

        // Each column at least as wide as its widest text needs at the body font,
        // so that codes print whole (at 96 dpi, as the grid's widths are).
        std::vector<double> wanted;
        const QFontMetricsF screen(PrintFont(kBodyPoints, false));
        for (const TGridSnapshot::Column& c : FShown.Columns)
            wanted.push_back(qMax(double(qMax(0, c.Width)), WidestText(FShown, c, screen) + 8));
        double total = 0;
        for (double w : wanted)
            total += w;
        const size_t n = FShown.Columns.size();
        // Scaled to the page width; the text shrinks with the columns, down to a readable size.
        const double fit = total > 0 ? FWidth / (total * dpi / kScreenDpi) : 1.0;
        const double points = qBound(kSmallestPoints, kBodyPoints * fit, kBodyPoints);
        FBody = PrintFont(points, false);
        FBold = PrintFont(points, true);
        FTitle = PrintFont(kTitlePoints, true);
        FDetails = PrintFont(kTitlePoints - 1, false);
        double x = 0;
        for (size_t j = 0; j < n; ++j) {
            const double w = total > 0 ? wanted[j] * FWidth / total : FWidth / double(n);
            FX.push_back(x);
            FW.push_back(w);
            x += w;
        }

        const QFontMetricsF body(FBody, &printer);
        const QFontMetricsF title(FTitle, &printer);
        FRowHeight = std::ceil(body.height() * 1.45);
        FPadding = body.averageCharWidth() * 0.6;
        FHeadingHeight = std::ceil(title.height() * 1.9);
        FFooterHeight = std::ceil(body.height() * 2.2);
        const double room = FHeight - FHeadingHeight - FRowHeight - FFooterHeight;
        RowsPerPage = qMax(1, int(std::floor(room / FRowHeight)));
        const qsizetype rows = qsizetype(FShown.Rows.size());
        const qsizetype rowPages = qMax<qsizetype>(1, (rows + RowsPerPage - 1) / RowsPerPage);
        // The closing lines stay together after the last row, on a page of their
        // own when the last page has no room left for them.
        const qsizetype onLast = rows - (rowPages - 1) * RowsPerPage;
        const bool ownPage = double(onLast) + kClosingRows > double(RowsPerPage) && rows > 0;
        PageCount = int(rowPages + (ownPage ? 1 : 0));
        FPrintedAt = (heading.PrintedAt.isValid() ? heading.PrintedAt : QDateTime::currentDateTime())
                         .toString(QStringLiteral("yyyy-MM-dd HH:mm"));
        FCapitals = TotalInCapitals(FShown, heading.AmountColumn);
        FLine = qMax(1.0, dpi / 200.0);
    }

    const TGridSnapshot& Shown() const { return FShown; }

    void Paint(QPainter& p, int page) const
    {
        const TGridPrintHeading& heading = FHeading;
        const QColor lines(150, 150, 150);
        const QColor captions(232, 232, 232);
        // Heading: the title bold, the unit and filters after it, cut to the line.
        p.setPen(Qt::black);
        p.setFont(FTitle);
        const QRectF headRect(0, 0, FWidth, FHeadingHeight * 0.8);
        const QFontMetricsF title(FTitle, p.device());
        const QString titleText = title.elidedText(heading.Title, Qt::ElideRight, FWidth);
        p.drawText(headRect, Qt::AlignLeft | Qt::AlignVCenter, titleText);
        const double after = title.horizontalAdvance(titleText) + title.averageCharWidth() * 2;
        if (after < FWidth && !heading.Details.isEmpty()) {
            p.setFont(FDetails);
            const QFontMetricsF details(FDetails, p.device());
            p.drawText(QRectF(after, 0, FWidth - after, headRect.height()), Qt::AlignLeft | Qt::AlignVCenter,
                       details.elidedText(heading.Details, Qt::ElideRight, FWidth - after));
        }

        double y = FHeadingHeight;
        const size_t n = FShown.Columns.size();
        p.setPen(QPen(lines, FLine));
        p.fillRect(QRectF(0, y, FWidth, FRowHeight), captions);
        p.setFont(FBold);
        for (size_t j = 0; j < n; ++j) {
            const TGridSnapshot::Column& column = FShown.Columns[j];
            DrawCell(p, j, y, column.Caption, (column.HeaderAlignment & Qt::AlignHorizontal_Mask) | Qt::AlignVCenter,
                     lines);
        }
        y += FRowHeight;

        const qsizetype first = qsizetype(page) * RowsPerPage;
        const qsizetype last = qMin<qsizetype>(first + RowsPerPage, qsizetype(FShown.Rows.size()));
        for (qsizetype i = first; i < last; ++i) {
            const int r = FShown.Rows[size_t(i)];
            const bool footer = r == FShown.FooterRow;
            if (footer) {
                QColor fill = FShown.Columns.empty() ? QColor() : FShown.Color(FShown.Columns[0], r);
                p.fillRect(QRectF(0, y, FWidth, FRowHeight), fill.isValid() ? fill : captions);
            }
            p.setFont(footer ? FBold : FBody);
            for (size_t j = 0; j < n; ++j) {
                const TGridSnapshot::Column& column = FShown.Columns[j];
                DrawCell(p, j, y, FShown.DisplayText(column, r),
                         (column.Alignment & Qt::AlignHorizontal_Mask) | Qt::AlignVCenter, lines);
            }
            y += FRowHeight;
        }
        if (page == PageCount - 1)
            PaintClosing(p, y);

        p.setFont(FBody);
        p.setPen(Qt::black);
        const QRectF footer(0, FHeight - FFooterHeight, FWidth, FFooterHeight);
        p.drawText(footer, Qt::AlignLeft | Qt::AlignBottom, QStringLiteral("打印时间：") + FPrintedAt);
        p.drawText(footer, Qt::AlignHCenter | Qt::AlignBottom,
                   QStringLiteral("第 %1 页，共 %2 页").arg(page + 1).arg(PageCount));
    }

    int RowsPerPage = 1;
    int PageCount = 1;

private:
    // The total in capitals and the sign-off line: 制表人 with the operator's
    // name, 审核人 and 负责人 with a line to sign on.
    void PaintClosing(QPainter& p, double y) const
    {
        p.setPen(Qt::black);
        p.setFont(FBold);
        if (!FCapitals.isEmpty())
            p.drawText(QRectF(0, y, FWidth, FRowHeight), Qt::AlignLeft | Qt::AlignVCenter, FCapitals);
        const double line = y + FRowHeight * kClosingRows;
        p.setFont(FBody);
        const QFontMetricsF fm(FBody, p.device());
        const QStringList labels{QStringLiteral("制表人："), QStringLiteral("审核人："), QStringLiteral("负责人：")};
        const double part = FWidth / 3.0;
        for (int i = 0; i < 3; ++i) {
            const double x = part * i;
            const QString text = i == 0 ? labels[0] + FHeading.Operator : labels[i];
            p.drawText(QRectF(x, line - FRowHeight, part, FRowHeight), Qt::AlignLeft | Qt::AlignBottom, text);
            if (i > 0) {
                // A line to sign on after the label.
                const double from = x + fm.horizontalAdvance(labels[i]);
                p.setPen(QPen(Qt::black, FLine));
                p.drawLine(QPointF(from, line - FLine), QPointF(x + part * 0.85, line - FLine));
            }
        }
    }

    void DrawCell(QPainter& p, size_t j, double y, const QString& text, Qt::Alignment alignment,
                  const QColor& lines) const
    {
        const QRectF cell(FX[j], y, FW[j], FRowHeight);
        p.setPen(QPen(lines, FLine));
        p.drawRect(cell);
        const QRectF inner = cell.adjusted(FPadding, 0, -FPadding, 0);
        if (inner.width() <= 0 || text.isEmpty())
            return;
        p.setPen(Qt::black);
        const QFontMetricsF fm(p.font(), p.device());
        const double width = fm.horizontalAdvance(text);
        if (width <= inner.width()) {
            p.drawText(inner, int(alignment), text);
            return;
        }
        // A text that does not fit is printed smaller, whole, rather than cut.
        const QFont saved = p.font();
        QFont smaller = saved;
        smaller.setPointSizeF(qMax(3.0, saved.pointSizeF() * inner.width() / width));
        p.setFont(smaller);
        const QFontMetricsF sm(smaller, p.device());
        p.drawText(inner, int(alignment), sm.elidedText(text, Qt::ElideRight, inner.width()));
        p.setFont(saved);
    }

    const TGridSnapshot& FShown;
    const TGridPrintHeading& FHeading;
    QString FPrintedAt, FCapitals;
    double FWidth = 0, FHeight = 0;
    std::vector<double> FX, FW;
    QFont FBody, FBold, FTitle, FDetails;
    double FRowHeight = 1, FPadding = 0, FHeadingHeight = 0, FFooterHeight = 0, FLine = 1;
};

}  // namespace

TGridPageLayout GridPageLayout(const TGridSnapshot& Grid, QPrinter& Printer)
{
    const TGridPrintHeading heading;
    const PageLayout layout(Grid, Printer, heading);
    return {layout.RowsPerPage, layout.PageCount};
}

void ChooseOrientation(const TGridSnapshot& Grid, QPrinter& Printer)
{
    const double needed = TotalWidth(Grid) / kScreenDpi;
    QPageLayout upright = Printer.pageLayout();
    upright.setOrientation(QPageLayout::Portrait);
    const double room = upright.paintRect(QPageLayout::Inch).width();
    Printer.setPageOrientation(needed > room ? QPageLayout::Landscape : QPageLayout::Portrait);
}

TResult<TOutputEnd> PaintGrid(const TGridSnapshot& Grid, const TGridPrintHeading& Heading, QPrinter& Printer,
                              int First, int Last, const TPrintProgress& Progress)
{
    const PageLayout layout(Grid, Printer, Heading);
    if (layout.Shown().Columns.empty())
        return TError{QStringLiteral("表格中没有可打印的列")};
    const int first = First < 0 ? 0 : qMin(First, layout.PageCount - 1);
    const int last = Last < 0 ? layout.PageCount - 1 : qBound(first, Last, layout.PageCount - 1);
    const int total = last - first + 1;
    QPainter painter;
    if (!painter.begin(&Printer))
        return TError{QStringLiteral("无法开始打印，请检查打印机设置")};
    for (int page = first; page <= last; ++page) {
        if (Progress && !Progress(page - first, total)) {
            painter.end();
            return TOutputEnd::Cancelled;
        }
        if (page > first && !Printer.newPage()) {
            painter.end();
            return TError{QStringLiteral("打印第 %1 页时出错").arg(page + 1)};
        }
        layout.Paint(painter, page);
    }
    if (Progress)
        Progress(total, total);
    if (!painter.end() || Printer.printerState() == QPrinter::Error)
        return TError{QStringLiteral("打印未能完成")};
    return TOutputEnd::Done;
}

TResult<TOutputEnd> PrintGridToPdf(const TNextGrid& Grid, const TGridPrintHeading& Heading, const QString& FileName)
{
    if (Grid.Updating())
        return TError{QStringLiteral("表格正在更新，请稍后再打印")};
    return PrintGridToPdf(Grid.Snapshot(), Heading, FileName);
}

TResult<TOutputEnd> PrintGridToPdf(const TGridSnapshot& Grid, const TGridPrintHeading& Heading,
                                   const QString& FileName, const TPrintProgress& Progress)
{
    if (QFileInfo(FileName).suffix().compare(QLatin1String("pdf"), Qt::CaseInsensitive) != 0)
        return TError{QStringLiteral("打印文件“%1”须以 .pdf 结尾").arg(FileName)};
    TOutputFile out(FileName);
    if (TResult<> opened = out.Open(); !opened)
        return opened.Error();
    // The printer writes the file by its name; ours stays reserved, closed.
    out.File().close();
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFileName(out.TemporaryName());
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setPageSize(QPageSize(QPageSize::A4));
    printer.setDocName(Heading.Title);
    printer.setCreator(Heading.Title);
    ChooseOrientation(Grid, printer);
    const TResult<TOutputEnd> painted = PaintGrid(Grid, Heading, printer, -1, -1, Progress);
    if (!painted)
        return TError{OutputFileError(FileName, painted.Error().Message)};
    if (painted.Value() == TOutputEnd::Cancelled)
        return TOutputEnd::Cancelled;   // no file, no message
    if (TResult<> committed = out.Commit(); !committed)
        return committed.Error();
    return TOutputEnd::Done;
}

TResult<> PreviewGrid(const TGridSnapshot& Grid, const TGridPrintHeading& Heading, QWidget* Parent, int First,
                      int Last)
{
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(Heading.Title);
    ChooseOrientation(Grid, printer);
    QPrintPreviewDialog dialog(&printer, Parent);
    dialog.setObjectName(QStringLiteral("dlgPrintPreview"));
    dialog.setWindowTitle(QStringLiteral("打印预览"));
    // Large enough to read a page: most of the screen the window is on.
    if (const QScreen* screen = Parent ? Parent->screen() : QGuiApplication::primaryScreen()) {
        const QRect room = screen->availableGeometry();
        dialog.resize(room.width() * 4 / 5, room.height() * 9 / 10);
    }
    TResult<> shown;
    QObject::connect(&dialog, &QPrintPreviewDialog::paintRequested, &dialog, [&](QPrinter* p) {
        if (const TResult<TOutputEnd> painted = PaintGrid(Grid, Heading, *p, First, Last); !painted)
            shown = painted.Error();
    });
    dialog.exec();
    return shown;
}

bool ChoosePrinter(const TGridSnapshot& Grid, QPrinter& Printer, QWidget* Parent, int* First, int* Last)
{
    ChooseOrientation(Grid, Printer);
    const TGridPageLayout layout = GridPageLayout(Grid, Printer);
    Printer.setFromTo(1, layout.PageCount);
    QPrintDialog dialog(&Printer, Parent);
    dialog.setObjectName(QStringLiteral("dlgPrint"));
    dialog.setWindowTitle(QStringLiteral("打印（共 %1 页）").arg(layout.PageCount));
    dialog.setOption(QAbstractPrintDialog::PrintPageRange, true);
    dialog.setMinMax(1, layout.PageCount);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    const bool range = Printer.printRange() == QPrinter::PageRange;
    *First = range ? Printer.fromPage() - 1 : -1;
    *Last = range ? Printer.toPage() - 1 : -1;
    return true;
}
