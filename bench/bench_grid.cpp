// Record grid load against the bare SQLite loop (B1), model memory per row, and
// first paint / jump to the middle row at two sizes.
//
//   bench_grid [rows...]        default: 100000 1000000
//
// B1 steps the same SQL on the same file with the SQLite C API and turns every
// value into a QString. Figures are medians of a few runs in this process.
#include "bench/BenchStats.h"
#include "data/untDefData.h"
#include "grid/untNextGridManager.h"
#include "toolkit/NextGrid.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <sqlite3.h>
#include <vector>

namespace {

// The data layer's Def connection during a load: the bench's own manager's.
TDbManager* BenchManager = nullptr;
TAdoConn* BenchDefConnection() { return BenchManager ? BenchManager->GetConnection(DefConnectionName) : nullptr; }

struct ColumnDef {
    const char* caption;
    const char* name;
    int show, data, width;
};

// The detail table's 31 columns.
const ColumnDef kColumns[] = {
    {"", "chk", 1, 2, 20},
    {"编号", "budgid", 1, 1, 35},
    {"预算编码", "eid", 1, 1, 90},
    {"组织机构代码", "ecode", 0, 1, 95},
    {"单位名称", "ename", 1, 1, 180},
    {"科目编码", "bid", 1, 1, 60},
    {"科目名称", "bname", 1, 1, 130},
    {"项目编码", "iid", 1, 1, 100},
    {"项目名称", "iname", 1, 1, 150},
    {"预算来源编码", "bkid", 0, 1, 60},
    {"预算来源", "bkname", 1, 1, 90},
    {"资金性质编码", "mid", 0, 1, 60},
    {"资金性质", "mname", 1, 1, 70},
    {"支出类型编码", "ipid", 0, 1, 60},
    {"支出类型", "ipname", 1, 1, 70},
    {"支付方式编码", "pid", 0, 1, 60},
    {"支付方式", "pname", 1, 1, 90},
    {"经济分类编码", "ekid", 0, 1, 60},
    {"经济分类", "ekname", 0, 1, 70},
    {"指标金额(元)", "budgmoney", 1, 0, 120},
    {"指标金额(万元)", "budgmoney_wy", 1, 0, 120},
    {"状态", "status", 0, 1, 70},
    {"原编号", "inibudgid", 0, 1, 45},
    {"录入日期", "inputdate", 1, 3, 90},
    {"指标文号", "filename", 1, 3, 100},
    {"指标子类型", "child", 1, 1, 90},
    {"所属处室", "burid", 2, 1, 80},
    {"所属处室", "burname", 1, 1, 100},
    {"涉密", "issecret", 0, 1, 90},
    {"密级", "secret", 1, 1, 60},
    {"序号", "NumId", 1, 1, 80},
};
constexpr int kColumnCount = int(sizeof kColumns / sizeof kColumns[0]);

QList<TDTFieldType*> Definitions()
{
    QList<TDTFieldType*> out;
    for (int i = 0; i < kColumnCount; ++i) {
        const ColumnDef& c = kColumns[i];
        out << NewDTFieldType(QString::fromUtf8(c.caption), QString::fromLatin1(c.name), quint8(c.show),
                              quint8(c.data), c.width, i, 1);
    }
    return out;
}

void Check(int rc, sqlite3* db)
{
    if (rc != SQLITE_OK && rc != SQLITE_DONE && rc != SQLITE_ROW) {
        std::fprintf(stderr, "sqlite: %s\n", sqlite3_errmsg(db));
        std::exit(1);
    }
}

// Records of the shape of the budget view: codes, Chinese names, money, dates.
void Generate(const QString& path, int rows)
{
    sqlite3* db = nullptr;
    Check(sqlite3_open(path.toUtf8().constData(), &db), db);
    QByteArray create = "create table rec(";
    for (int i = 1; i < kColumnCount - 1; ++i) {
        create += kColumns[i].name;
        create += (kColumns[i].data == 0 ? " real" : " text");
        create += i < kColumnCount - 2 ? "," : ")";
    }
    Check(sqlite3_exec(db, create.constData(), nullptr, nullptr, nullptr), db);
    Check(sqlite3_exec(db, "begin", nullptr, nullptr, nullptr), db);
    QByteArray insert = "insert into rec values(";
    for (int i = 1; i < kColumnCount - 1; ++i)
        insert += i < kColumnCount - 2 ? "?," : "?)";
    sqlite3_stmt* st = nullptr;
    Check(sqlite3_prepare_v2(db, insert.constData(), -1, &st, nullptr), db);
    const char* names[] = {"第一中学", "财政局机关", "人民医院", "教育局", "农业农村局", "市场监督管理局"};
    const char* items[] = {"基本支出", "公用经费", "专项业务费", "设备购置", "基础设施建设"};
    quint32 seed = 12345;
    auto next = [&seed] { return seed = seed * 1664525u + 1013904223u; };
    for (int r = 0; r < rows; ++r) {
        int p = 1;
        auto text = [&](const QByteArray& v) { sqlite3_bind_text(st, p++, v.constData(), int(v.size()), SQLITE_TRANSIENT); };
        const quint32 a = next(), b = next();
        const double money = double(a % 10000000) / 100.0;
        text(QByteArray::number(r + 1));                                                   // budgid
        text("101" + QByteArray::number(1000 + a % 900).right(3));                          // eid
        text("MA" + QByteArray::number(10000000 + b % 89999999));                           // ecode
        text(QByteArray(names[a % 6]) + QByteArray::number(a % 90));                        // ename
        text(QByteArray::number(2010000 + b % 9999));                                       // bid
        text(QByteArray(items[b % 5]));                                                     // bname
        text("XM" + QByteArray::number(b % 100000));                                        // iid
        text(QByteArray(items[a % 5]) + "项目");                                            // iname
        text(QByteArray::number(a % 5));                                                    // bkid
        text("本级财力");                                                                   // bkname
        text(QByteArray::number(b % 4));                                                    // mid
        text("一般公共预算");                                                               // mname
        text(QByteArray::number(a % 3));                                                    // ipid
        text("经常性支出");                                                                 // ipname
        text(QByteArray::number(b % 2));                                                    // pid
        text(b % 2 ? "直接支付" : "授权支付");                                              // pname
        text(QByteArray::number(30100 + a % 300));                                          // ekid
        text("工资福利支出");                                                               // ekname
        sqlite3_bind_double(st, p++, money);                                                // budgmoney
        sqlite3_bind_double(st, p++, money / 10000.0);                                      // budgmoney_wy
        text(QByteArray::number(a % 2));                                                    // status
        if (a % 7 == 0)
            sqlite3_bind_null(st, p++);                                                     // inibudgid
        else
            text(QByteArray::number(r));
        text("2024-" + QByteArray::number(10 + a % 3) + "-" + QByteArray::number(10 + b % 18));  // inputdate
        text("财预〔2024〕" + QByteArray::number(a % 300) + "号");                          // filename
        text("年初预算");                                                                   // child
        text("0" + QByteArray::number(1 + a % 9));                                          // burid
        text("预算科");                                                                     // burname
        text("0");                                                                          // issecret
        text("非密");                                                                       // secret
        Check(sqlite3_step(st), db);
        sqlite3_reset(st);
    }
    sqlite3_finalize(st);
    Check(sqlite3_exec(db, "commit", nullptr, nullptr, nullptr), db);
    sqlite3_close(db);
}

QString RecordSQL()
{
    QString sql = QStringLiteral("select '' as chk");
    for (int i = 1; i < kColumnCount - 1; ++i)
        sql += QStringLiteral(", ") + QLatin1String(kColumns[i].name);
    return sql + QStringLiteral(", '' as NumId from rec");
}

// B1: the same SQL stepped with the C API, every value made a QString.
double BaselineMs(const QString& path, const QString& sql, qint64* checksum)
{
    QElapsedTimer t;
    t.start();
    sqlite3* db = nullptr;
    Check(sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr), db);
    sqlite3_stmt* st = nullptr;
    const QByteArray s = sql.toUtf8();
    Check(sqlite3_prepare_v2(db, s.constData(), -1, &st, nullptr), db);
    const int n = sqlite3_column_count(st);
    qint64 sum = 0;
    while (sqlite3_step(st) == SQLITE_ROW) {
        for (int c = 0; c < n; ++c) {
            QString v;
            if (sqlite3_column_type(st, c) != SQLITE_NULL) {
                const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(st, c));
                v = QString::fromUtf8(p, sqlite3_column_bytes(st, c));
            }
            sum += v.size();
        }
    }
    sqlite3_finalize(st);
    sqlite3_close(db);
    *checksum = sum;
    return double(t.nsecsElapsed()) / 1e6;
}

using benchstats::Median;

qint64 ResidentBytes()
{
    QFile f(QStringLiteral("/proc/self/statm"));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> parts = f.readAll().split(' ');
    return parts.size() > 1 ? parts[1].toLongLong() * 4096 : 0;
}

struct Figures {
    int rows = 0;
    double b1 = 0, load = 0, paint = 0, jump = 0;
    double storePerRow = 0, textPerRow = 0, rssPerRow = 0;
    QString total;
};

Figures Run(int rows, int repeats)
{
    Figures f;
    f.rows = rows;
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("bench.db"));
    std::fprintf(stderr, "generating %d records...\n", rows);
    Generate(path, rows);

    TDbManager manager;
    manager.ConnectionString = QStringLiteral("Provider=SQLITE;Data Source=") + path;
    BenchManager = &manager;
    SetDefConnectionSource(&BenchDefConnection);

    const QString sql = RecordSQL();
    std::vector<double> b1, load, paint, jump;
    qint64 checksum = 0;
    for (int i = 0; i < repeats; ++i) {
        b1.push_back(BaselineMs(path, sql, &checksum));

        TNextGrid grid;
        grid.resize(1200, 700);
        grid.show();
        QApplication::processEvents();
        TNextGridManager m(nullptr, Definitions(), QStringLiteral("ngdBenchNoLayout"));
        m.CreateColumns(&grid);
        const qint64 rssBefore = ResidentBytes();
        QElapsedTimer t;
        t.start();
        if (const TResult<> loaded = m.LoadRows(&grid, sql, true, false, true); !loaded) {
            std::fprintf(stderr, "load failed: %s\n", qPrintable(loaded.Error().Message));
            std::exit(1);
        }
        load.push_back(double(t.nsecsElapsed()) / 1e6);
        if (grid.RowCount() != rows + 1) {
            std::fprintf(stderr, "loaded %d rows, expected %d\n", grid.RowCount(), rows + 1);
            std::exit(1);
        }
        t.restart();
        grid.viewport()->repaint();
        paint.push_back(double(t.nsecsElapsed()) / 1e6);
        t.restart();
        grid.SelectRow(rows / 2);
        grid.viewport()->repaint();
        jump.push_back(double(t.nsecsElapsed()) / 1e6);
        f.storePerRow = double(grid.StoreBytes()) / rows;
        f.textPerRow = double(grid.TextBytes()) / rows;
        f.rssPerRow = double(ResidentBytes() - rssBefore) / rows;
        f.total = grid.Cells(19, rows);
    }
    SetDefConnectionSource(nullptr);
    BenchManager = nullptr;
    f.b1 = Median(b1);
    f.load = Median(load);
    f.paint = Median(paint);
    f.jump = Median(jump);
    return f;
}

}  // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? QByteArray("offscreen")
                                                                      : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    std::vector<int> sizes;
    for (int i = 1; i < argc; ++i)
        sizes.push_back(QByteArray(argv[i]).toInt());
    if (sizes.empty())
        sizes = {100000, 1000000};

    std::vector<Figures> all;
    for (int rows : sizes)
        all.push_back(Run(rows, rows >= 1000000 ? 3 : 5));

    std::printf("%-9s %9s %11s %7s %10s %10s %11s %6s %9s %9s\n", "records", "B1 ms", "LoadRows ms", "ratio",
                "store B/r", "text B/r", "store/text", "RSS B/r", "paint ms", "jump ms");
    for (const Figures& f : all)
        std::printf("%-9d %9.1f %11.1f %7.2f %10.1f %10.1f %11.2f %6.0f %9.2f %9.2f\n", f.rows, f.b1, f.load,
                    f.load / f.b1, f.storePerRow, f.textPerRow, f.storePerRow / f.textPerRow, f.rssPerRow, f.paint,
                    f.jump);
    if (all.size() >= 2) {
        const Figures& a = all.front();
        const Figures& b = all.back();
        std::printf("paint %d/%d: %.2f   jump %d/%d: %.2f\n", b.rows, a.rows, b.paint / a.paint, b.rows, a.rows,
                    b.jump / a.jump);
    }
    std::printf("totals row budgmoney at %d records: %s\n", all.back().rows, qPrintable(all.back().total));
    return 0;
}
