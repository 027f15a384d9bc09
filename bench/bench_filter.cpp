// Row filter of the record grid over a shown grid against a bare loop (B2).
//
//   bench_filter [rows]        default: 1000000
//
// B2 keeps the unit names as a vector of QString and counts those that contain
// the text, letter case aside (QString::contains): the least a filter over the
// same texts has to do, without a view or a row mapping. The grid's figures
// include its model reset and the view taking the new rows. Medians of 5 runs.
#include "bench/BenchStats.h"
#include "toolkit/NextGrid.h"

#include <QApplication>
#include <QElapsedTimer>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

using benchstats::Median;

double Time(const std::function<void()>& before, const std::function<void()>& run)
{
    std::vector<double> runs;
    for (int i = 0; i < 5; ++i) {
        before();
        QElapsedTimer t;
        t.start();
        run();
        runs.push_back(double(t.nsecsElapsed()) / 1e6);
    }
    return Median(runs);
}

}  // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const int rows = argc > 1 ? std::max(1, atoi(argv[1])) : 1000000;
    const QStringList units = {QStringLiteral("市第一中学"), QStringLiteral("市人民医院"),
                               QStringLiteral("City School No.%1"), QStringLiteral("市交通运输局本级")};
    std::vector<QString> names(static_cast<size_t>(rows));
    TNextGrid grid;
    auto* chk = new TNxCheckBoxColumn;
    auto* name = new TNxTextColumn;
    auto* money = new TNxNumberColumn;
    money->SetFormatMask(QStringLiteral("#,##0.00"));
    grid.Columns().Add(chk);
    grid.Columns().Add(name);
    grid.Columns().Add(money);
    TNxCellStore cells(3);
    cells.AddRows(rows + 1);
    for (int r = 0; r < rows; ++r) {
        const QString& u = units[r % 4];
        names[size_t(r)] = u.contains(QLatin1Char('%')) ? u.arg(r) : u;
        cells.SetText(1, r, names[size_t(r)]);
        cells.SetText(2, r, QString::number((qint64(r) * 7919) % 1000000) + QStringLiteral(".25"));
    }
    cells.SetText(1, rows, QStringLiteral("合计"));
    grid.AdoptCells(std::move(cells), rows);
    grid.SetOptions(TGridOptions(goHeader) | goSelectFullRow);
    grid.resize(800, 600);
    grid.show();
    QApplication::processEvents();

    int count = 0;
    const double b2 = Time([] {}, [&] {
        count = 0;
        for (const QString& n : names)
            count += n.contains(QStringLiteral("中学"), Qt::CaseInsensitive);
    });
    const double b2Latin = Time([] {}, [&] {
        count = 0;
        for (const QString& n : names)
            count += n.contains(QStringLiteral("school"), Qt::CaseInsensitive);
    });
    auto clear = [&] { grid.ClearFilters(); };
    const double text = Time(clear, [&] { grid.SetColumnFilter(1, QStringLiteral("中学")); });
    const double latin = Time(clear, [&] { grid.SetColumnFilter(1, QStringLiteral("school")); });
    const double range = Time(clear, [&] { grid.SetColumnFilter(2, QStringLiteral("1000..500000")); });
    const double both = Time([&] { clear(); grid.SetColumnFilter(1, QStringLiteral("school")); },
                             [&] { grid.SetColumnFilter(2, QStringLiteral(">=500000")); });
    const double cleared = Time([&] { grid.SetColumnFilter(1, QStringLiteral("中学")); }, clear);
    // With every row selected the selection is carried over to the rows still shown.
    const double selected = Time([&] { clear(); grid.selectAll(); },
                                 [&] { grid.SetColumnFilter(1, QStringLiteral("中学")); });
    std::printf("rows %d (shown after the text filter: %d)\n", rows, grid.ShownRowCount());
    std::printf("%-34s %9s %9s %7s\n", "filter", "grid ms", "B2 ms", "ratio");
    std::printf("%-34s %9.1f %9.1f %7.2f\n", "text contains (Chinese)", text, b2, text / b2);
    std::printf("%-34s %9.1f %9.1f %7.2f\n", "text contains (Latin, any case)", latin, b2Latin, latin / b2Latin);
    std::printf("%-34s %9.1f\n", "amount range", range);
    std::printf("%-34s %9.1f\n", "text and range together", both);
    std::printf("%-34s %9.1f\n", "clear", cleared);
    std::printf("%-34s %9.1f\n", "text, every row selected", selected);
    return count < 0;
}
