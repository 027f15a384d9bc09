#include "data/untDemoData.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <charconv>
#include <functional>
#include <sqlite3.h>
#include "data/untDbManager.h"
#include <cstdint>
#include <cstring>
#include <vector>

namespace {

QString ScriptText(const QString& name, QString* error)
{
    QFile f(QStringLiteral(":/sql/") + name);
    if (!f.open(QIODevice::ReadOnly)) {
        if (error)
            *error = QStringLiteral("找不到数据库结构脚本：%1").arg(f.fileName());
        return {};
    }
    return QString::fromUtf8(f.readAll());
}

// A new embedded database is made at the module's schema version.
QString SchemaText(QString* error)
{
    const QString schema = ScriptText(QStringLiteral("schema.sql"), error);
    const QString upgrade = schema.isEmpty() ? QString() : ScriptText(QStringLiteral("upgrade.sql"), error);
    if (upgrade.isEmpty())
        return {};
    return schema + QLatin1Char('\n') + upgrade + QStringLiteral("\nPRAGMA user_version=%1;\n").arg(ModuleSchemaVersion);
}

struct Db {
    sqlite3* h = nullptr;
    ~Db()
    {
        if (h)
            sqlite3_close(h);
    }
    QString Message() const { return h ? QString::fromUtf8(sqlite3_errmsg(h)) : QStringLiteral("数据库未打开"); }
    bool Open(const QString& path, QString* error)
    {
        const QByteArray p = QFile::encodeName(path);
        if (sqlite3_open_v2(p.constData(), &h, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) != SQLITE_OK) {
            if (error)
                *error = QStringLiteral("无法打开数据库%1：%2").arg(path, Message());
            return false;
        }
        sqlite3_busy_timeout(h, 5000);
        return Exec("PRAGMA journal_mode=WAL", error);
    }
    bool Exec(const QByteArray& sql, QString* error)
    {
        char* msg = nullptr;
        if (sqlite3_exec(h, sql.constData(), nullptr, nullptr, &msg) != SQLITE_OK) {
            if (error)
                *error = msg ? QString::fromUtf8(msg) : Message();
            sqlite3_free(msg);
            return false;
        }
        return true;
    }
};

// A prepared insert bound from texts; a null text binds NULL.
struct Insert {
    sqlite3_stmt* st = nullptr;
    ~Insert() { sqlite3_finalize(st); }
    bool Prepare(Db& db, const char* sql, QString* error)
    {
        if (sqlite3_prepare_v2(db.h, sql, -1, &st, nullptr) != SQLITE_OK) {
            if (error)
                *error = db.Message();
            return false;
        }
        return true;
    }
    void Text(int i, const QByteArray& v)
    {
        if (v.isNull())
            sqlite3_bind_null(st, i);
        else
            sqlite3_bind_text(st, i, v.constData(), int(v.size()), SQLITE_TRANSIENT);
    }
    void Text(int i, const char* v)
    {
        if (v)
            sqlite3_bind_text(st, i, v, -1, SQLITE_TRANSIENT);
        else
            sqlite3_bind_null(st, i);
    }
    void Int(int i, qint64 v) { sqlite3_bind_int64(st, i, v); }
    void Real(int i, double v) { sqlite3_bind_double(st, i, v); }
    void Null(int i) { sqlite3_bind_null(st, i); }
    bool Run(Db& db, QString* error)
    {
        const int rc = sqlite3_step(st);
        sqlite3_reset(st);
        sqlite3_clear_bindings(st);
        if (rc != SQLITE_DONE) {
            if (error)
                *error = db.Message();
            return false;
        }
        return true;
    }
};

// Deterministic, so that every run (and every test) sees the same database.
struct Random {
    std::uint64_t s = 0x9E3779B97F4A7C15ull;
    std::uint32_t Next()
    {
        s ^= s << 13;
        s ^= s >> 7;
        s ^= s << 17;
        return std::uint32_t(s >> 16);
    }
    int Below(int n) { return int(Next() % std::uint32_t(n)); }
};

struct Unit {
    const char* eid;
    const char* name;
    const char* office;
    const char* useflag;
    const char* replaceflag;
};

// Three levels; a unit's code begins with its parent's. 104 has a single
// child, so 104001 stands alone.
const Unit Units[] = {
    {"101", "市教育局", "03", "0", "0"},
    {"101001", "市教育局本级", "03", "0", "0"},
    {"101002", "市第一中学", "03", "0", "0"},
    {"101003", "市第二中学", "03", "0", "0"},
    {"101004", "市职业教育中心", "04", "0", "0"},
    {"101004001", "市职业教育中心本级", "04", "0", "0"},
    {"101004002", "市机电职业学校", "04", "0", "0"},
    {"101004003", "市商贸职业学校", "04", "0", "1"},
    {"101005", "市教育考试院", "01", "0", "0"},
    {"101005001", "市教育考试院本级", "01", "0", "0"},
    {"101005002", "市招生考试服务中心", "01", "0", "0"},
    {"101006", "市教育信息中心", "03", "1", "0"},
    {"102", "市卫生健康委员会", "05", "0", "0"},
    {"102001", "市卫生健康委员会本级", "05", "0", "0"},
    {"102002", "市人民医院", "05", "0", "0"},
    {"102003", "市中医院", "05", "0", "0"},
    {"102003001", "市中医院本级", "05", "0", "0"},
    {"102003002", "市中医院东院区", "05", "0", "1"},
    {"102004", "市疾病预防控制中心", "05", "0", "0"},
    {"103", "市交通运输局", "02", "0", "0"},
    {"103001", "市交通运输局本级", "02", "0", "0"},
    {"103002", "市公路管理处", "02", "0", "0"},
    {"103002001", "市公路管理处本级", "02", "0", "0"},
    {"103002002", "市公路养护站", "02", "0", "0"},
    {"103003", "市道路运输管理所", "02", "0", "0"},
    {"104", "市档案馆", "04", "0", "0"},
    {"104001", "市档案馆本级", "04", "0", "0"},
};

struct Code {
    const char* id;
    const char* name;
};

const Code FundNatures[] = {{"1", "一般公共预算资金"}, {"2", "政府性基金预算资金"}, {"3", "国有资本经营预算资金"},
                            {"4", "财政专户管理资金"}};
const Code Subjects[] = {{"201", "一般公共服务支出"}, {"205", "教育支出"},         {"20502", "普通教育"},
                         {"20503", "职业教育"},       {"208", "社会保障和就业支出"}, {"210", "卫生健康支出"},
                         {"214", "交通运输支出"}};
const Code Projects[] = {{"001", "人员经费"},   {"002", "日常公用经费"}, {"003", "校舍维修改造"},
                         {"004", "信息化建设"}, {"005", "专用设备购置"}, {"006", "专项业务经费"}};
const Code BudgetSources[] = {{"21", "年初预算"}, {"22", "上年结余"}, {"23", "追加预算"}, {"24", "调整预算"}};
const Code ExpenditureTypes[] = {{"1", "基本支出"}, {"2", "项目支出"}};
const Code PaymentMethods[] = {{"1", "财政直接支付"}, {"2", "财政授权支付"}, {"3", "实拨资金"}};
const Code EconomicClasses[] = {{"301", "工资福利支出"}, {"302", "商品和服务支出"},
                                {"303", "对个人和家庭的补助"}, {"310", "资本性支出"}};
const Code Offices[] = {{"01", "预算处"}, {"02", "经济建设处"}, {"03", "教科文处"}, {"04", "行政政法处"},
                        {"05", "社会保障处"}};

template <size_t N>
bool FillLookup(Db& db, const char* table, const Code (&codes)[N], QString* error)
{
    Insert ins;
    const QByteArray sql = QByteArray("INSERT INTO ") + table + " VALUES(?,?)";
    if (!ins.Prepare(db, sql.constData(), error))
        return false;
    for (const Code& c : codes) {
        ins.Text(1, c.id);
        ins.Text(2, c.name);
        if (!ins.Run(db, error))
            return false;
    }
    return true;
}

bool HasChildren(const char* eid)
{
    const size_t n = std::strlen(eid);
    for (const Unit& u : Units)
        if (std::strlen(u.eid) == n + 3 && std::strncmp(u.eid, eid, n) == 0)
            return true;
    return false;
}

QByteArray ParentOf(const char* eid)
{
    const size_t n = std::strlen(eid);
    return n <= 3 ? QByteArray("") : QByteArray(eid, qsizetype(n - 3));
}

bool FillUnits(Db& db, QString* error)
{
    Insert ins;
    if (!ins.Prepare(db,
                     "INSERT INTO pubdept(eid,peid,ename,ecode,deptclass,leafflag,useflag,replaceflag,levelno,"
                     "shortname,linkman,phone,address,burid,budglevel,remark,orderno,secretflag)"
                     " VALUES(?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)",
                     error))
        return false;
    int order = 0;
    for (const Unit& u : Units) {
        const QByteArray eid(u.eid);
        ins.Text(1, eid);
        ins.Text(2, ParentOf(u.eid));
        ins.Text(3, u.name);
        // A made-up organisation code of the usual 9-character shape.
        ins.Text(4, QByteArray::number(570000000 + eid.toLongLong() % 100000000).left(8) + "-" +
                        QByteArray::number(eid.size() % 10));
        ins.Text(5, DemoDefaultDeptClass);
        ins.Text(6, HasChildren(u.eid) ? "1" : "0");
        ins.Text(7, u.useflag);
        ins.Text(8, u.replaceflag);
        ins.Int(9, eid.size() / 3);
        ins.Text(10, u.name);
        ins.Null(11);
        ins.Text(12, QByteArray("0571-8") + QByteArray::number(1000000 + order * 7919 % 1000000));
        ins.Null(13);
        ins.Text(14, u.office);
        ins.Text(15, "市级");
        ins.Null(16);
        ins.Int(17, ++order);
        // Most units are not secret by default; the archive is.
        ins.Text(18, eid.startsWith("104") ? "0" : "1");
        if (!ins.Run(db, error))
            return false;
    }
    return true;
}

std::vector<const Unit*> Leaves(const char* under)
{
    std::vector<const Unit*> out;
    for (const Unit& u : Units)
        if (!HasChildren(u.eid) && (!under || std::strncmp(u.eid, under, std::strlen(under)) == 0))
            out.push_back(&u);
    return out;
}

// Subjects that fit a department (by its top-level code).
const Code& SubjectFor(const Unit& u, Random& rnd)
{
    switch (u.eid[2]) {
    case '1': {
        static const int idx[] = {1, 2, 3, 2};
        return Subjects[idx[rnd.Below(4)]];
    }
    case '2':
        return Subjects[rnd.Below(6) == 0 ? 4 : 5];
    case '3':
        return Subjects[6];
    default:
        return Subjects[0];
    }
}

bool FillRecords(Db& db, int records, const TDemoProgress& progress, QString* error)
{
    Insert ins;
    if (!ins.Prepare(db,
                     "INSERT INTO BusiBudgetAdj(datayear,BudgId,eid,deptclass,BType,btypechild,mid,bid,iid,bkid,"
                     "ipid,pid,ekid,BudgMoney,status,IniBudgId,InputDate,filename,secret,issecret,burid)"
                     " VALUES(?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)",
                     error))
        return false;
    const std::vector<const Unit*> home = Leaves(DemoDefaultUnit);
    const std::vector<const Unit*> all = Leaves(nullptr);
    // Budget type x status x office x secret flag: the window's filters and the
    // office rule; the first records cover each once under the default unit.
    constexpr int combos = 3 * 2 * 5 * 2;
    Random rnd;
    const int step = qMax(1, records / 20);
    for (int r = 0; r < records; ++r) {
        if (progress && r % step == 0)
            progress(r, records);
        const bool covering = r < combos;
        const std::vector<const Unit*>& pool = covering || rnd.Below(3) != 0 ? home : all;
        const Unit& unit = *pool[covering ? size_t(r) % pool.size() : size_t(rnd.Below(int(pool.size())))];
        const int year = covering || rnd.Below(10) != 0 ? DemoDefaultYear : DemoDefaultYear - 1;
        int btype, status, office, secret;
        if (covering) {
            btype = r % 3;
            status = (r / 3) % 2;
            office = (r / 6) % 5;
            secret = (r / 30) % 2;
        } else {
            const int t = rnd.Below(20);
            btype = t < 5 ? 0 : (t < 16 ? 1 : 2);
            status = rnd.Below(5) < 3 ? 0 : 1;
            office = -1;
            secret = rnd.Below(8) == 0 ? 1 : 0;
        }
        const char* child;
        const char* source;
        switch (btype) {
        case 0:
            child = "0";
            source = "21";
            break;
        case 1:
            if (rnd.Below(3) != 0) {
                child = "1";
                source = rnd.Below(4) == 0 ? "22" : "21";
            } else {
                child = "2";
                source = rnd.Below(2) == 0 ? "23" : "24";
            }
            break;
        default:
            child = "2";
            source = rnd.Below(2) == 0 ? "23" : "24";
        }
        const Code& project = Projects[rnd.Below(6)];
        const bool basic = project.id[2] == '1' || project.id[2] == '2';
        const char* econ = project.id[2] == '1' ? "301" : (basic ? "302" : (rnd.Below(3) == 0 ? "310" : "302"));
        const int fund = rnd.Below(10);
        const std::int64_t cents = 100000 + std::int64_t(rnd.Next() % 200000000u);
        const int month = 1 + rnd.Below(12), day = 1 + rnd.Below(28);

        ins.Int(1, year);
        ins.Int(2, r + 1);
        ins.Text(3, unit.eid);
        ins.Text(4, DemoDefaultDeptClass);
        ins.Text(5, QByteArray::number(btype));
        ins.Text(6, child);
        ins.Text(7, FundNatures[fund < 7 ? 0 : (fund < 9 ? 1 : 3)].id);
        ins.Text(8, SubjectFor(unit, rnd).id);
        ins.Text(9, project.id);
        ins.Text(10, source);
        ins.Text(11, basic ? "1" : "2");
        ins.Text(12, PaymentMethods[rnd.Below(5) < 3 ? 0 : 1 + rnd.Below(2)].id);
        ins.Text(13, econ);
        ins.Real(14, double(cents) / 100.0);
        ins.Text(15, status ? "1" : "0");
        if (r > 0 && rnd.Below(7) == 0)
            ins.Int(16, 1 + rnd.Below(r));
        else
            ins.Null(16);
        ins.Text(17, QStringLiteral("%1-%2-%3")
                         .arg(year)
                         .arg(month, 2, 10, QLatin1Char('0'))
                         .arg(day, 2, 10, QLatin1Char('0'))
                         .toUtf8());
        ins.Text(18, QStringLiteral("%1〔%2〕%3号")
                         .arg(btype == 2 ? QStringLiteral("财追") : QStringLiteral("财预"))
                         .arg(year)
                         .arg(1 + r % 400)
                         .toUtf8());
        ins.Text(19, secret ? "秘密" : "");
        ins.Text(20, secret ? "1" : "0");
        ins.Text(21, office >= 0 ? Offices[office].id : unit.office);
        if (!ins.Run(db, error))
            return false;
    }
    return true;
}

}  // namespace

bool CreateSchema(const QString& path, QString* error)
{
    const QString schema = SchemaText(error);
    if (schema.isEmpty())
        return false;
    Db db;
    return db.Open(path, error) && db.Exec(schema.toUtf8(), error);
}

bool CreateDemoDatabase(const QString& path, int records, QString* error, const TDemoProgress& progress)
{
    if (records < 0) {
        if (error)
            *error = QStringLiteral("记录数不能为负数：%1").arg(records);
        return false;
    }
    const QFileInfo target(path);
    if (target.exists() && (target.isDir() || target.size() > 0)) {
        if (error)
            *error = QStringLiteral("数据库文件已存在：%1").arg(path);
        return false;
    }
    if (!QDir().mkpath(target.absolutePath())) {
        if (error)
            *error = QStringLiteral("无法创建文件夹：%1").arg(target.absolutePath());
        return false;
    }
    // Built beside the target and moved into place when complete, so that a
    // failed or interrupted run never leaves a half-filled database behind.
    const QString part = path + QStringLiteral(".part");
    for (const char* suffix : {"", "-wal", "-shm", "-journal"})
        QFile::remove(part + QLatin1String(suffix));
    const QString schema = SchemaText(error);
    bool ok = !schema.isEmpty();
    if (ok) {
        Db db;
        ok = db.Open(part, error) && db.Exec("PRAGMA synchronous=OFF", error) && db.Exec(schema.toUtf8(), error)
             && db.Exec("BEGIN", error) && FillUnits(db, error)
             && FillLookup(db, "pubfundnature", FundNatures, error) && FillLookup(db, "pubsubject", Subjects, error)
             && FillLookup(db, "pubproject", Projects, error)
             && FillLookup(db, "pubbudgsource", BudgetSources, error)
             && FillLookup(db, "pubexptype", ExpenditureTypes, error)
             && FillLookup(db, "pubpaymethod", PaymentMethods, error)
             && FillLookup(db, "pubeconclass", EconomicClasses, error)
             && FillLookup(db, "puboffice", Offices, error) && FillRecords(db, records, progress, error)
             && db.Exec("COMMIT", error);
        if (ok && progress)
            progress(records, records);
        ok = ok && db.Exec("PRAGMA synchronous=FULL; ANALYZE", error);
    }
    if (ok && QFile::exists(path))
        QFile::remove(path);   // the empty file that was there
    if (ok && !QFile::rename(part, path)) {
        if (error)
            *error = QStringLiteral("无法写入数据库文件：%1").arg(path);
        ok = false;
    }
    if (!ok)
        for (const char* suffix : {"", "-wal", "-shm", "-journal"})
            QFile::remove(part + QLatin1String(suffix));
    return ok;
}

// ---------------------------------------------------------------------------
// Server databases. The demo rows are generated into a scratch SQLite file by
// the code above and copied over, so that both kinds hold the same data.

namespace {

QString ServerSchemaText(QString* error)
{
    const QString schema = ScriptText(QStringLiteral("schema_pg.sql"), error);
    const QString upgrade = schema.isEmpty() ? QString() : ScriptText(QStringLiteral("upgrade_pg.sql"), error);
    return upgrade.isEmpty() ? QString() : schema + QLatin1Char('\n') + upgrade;
}

// Runs text on a server connection; false with the server's message.
bool ServerExec(QSqlDatabase& db, const QString& sql, QString* error)
{
    QSqlQuery q(db);
    if (q.exec(sql))
        return true;
    if (error)
        *error = q.lastError().text();
    return false;
}

// The statements of a schema script, one by one: the server driver reports
// only the first statement's error of a text holding several. The scripts
// keep ';' and "--" out of their literals.
QStringList SchemaStatements(const QString& script)
{
    QString text;
    for (const QString& line : script.split(QLatin1Char('\n'))) {
        const qsizetype dash = line.indexOf(QLatin1String("--"));
        text += (dash < 0 ? line : line.left(dash)) + QLatin1Char('\n');
    }
    QStringList out;
    for (const QString& s : text.split(QLatin1Char(';'))) {
        const QString t = s.trimmed();
        if (!t.isEmpty())
            out << t;
    }
    return out;
}

bool ServerSchema(QSqlDatabase& db, const QString& script, QString* error)
{
    for (const QString& statement : SchemaStatements(script))
        if (!ServerExec(db, statement, error))
            return false;
    return true;
}

// One SQLite cell as a SQL literal.
void AppendLiteral(QString& out, sqlite3_stmt* st, int c)
{
    switch (sqlite3_column_type(st, c)) {
    case SQLITE_INTEGER:
        out += QString::number(sqlite3_column_int64(st, c));
        break;
    case SQLITE_FLOAT: {
        char buf[40];
        auto r = std::to_chars(buf, buf + sizeof buf, sqlite3_column_double(st, c));
        out += QLatin1String(buf, qsizetype(r.ptr - buf));
        break;
    }
    case SQLITE_NULL:
        out += QLatin1String("NULL");
        break;
    default: {
        QString v = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, c)),
                                      sqlite3_column_bytes(st, c));
        v.replace(QLatin1Char('\''), QLatin1String("''"));
        out += QLatin1Char('\'') + v + QLatin1Char('\'');
    }
    }
}

// Copies every row of one table, a few hundred rows per statement.
bool CopyTable(Db& from, QSqlDatabase& to, const char* table, QString* error)
{
    sqlite3_stmt* st = nullptr;
    const QByteArray sql = QByteArray("SELECT * FROM ") + table;
    if (sqlite3_prepare_v2(from.h, sql.constData(), -1, &st, nullptr) != SQLITE_OK) {
        if (error)
            *error = from.Message();
        return false;
    }
    struct Finalizer {
        sqlite3_stmt* s;
        ~Finalizer() { sqlite3_finalize(s); }
    } fin{st};
    const int n = sqlite3_column_count(st);
    QString head = QStringLiteral("INSERT INTO ") + QLatin1String(table) + QLatin1Char('(');
    for (int c = 0; c < n; ++c)
        head += (c ? QStringLiteral(",") : QString()) + QString::fromUtf8(sqlite3_column_name(st, c));
    head += QStringLiteral(") VALUES ");
    QString batch;
    int rows = 0;
    int rc;
    while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
        batch += rows ? QStringLiteral(",(") : head + QLatin1Char('(');
        for (int c = 0; c < n; ++c) {
            if (c)
                batch += QLatin1Char(',');
            AppendLiteral(batch, st, c);
        }
        batch += QLatin1Char(')');
        if (++rows == 500) {
            if (!ServerExec(to, batch, error))
                return false;
            batch.clear();
            rows = 0;
        }
    }
    if (rc != SQLITE_DONE) {
        if (error)
            *error = from.Message();
        return false;
    }
    return rows == 0 || ServerExec(to, batch, error);
}

const char* const DemoTables[] = {"pubdept",      "pubfundnature", "pubsubject",   "pubproject",    "pubbudgsource",
                                  "pubexptype",   "pubpaymethod",  "pubeconclass", "puboffice",     "BusiBudgetAdj"};

// Runs work on a fresh server connection inside one transaction.
bool WithServer(const QString& connectionString, QString* error,
                const std::function<bool(QSqlDatabase&)>& work)
{
    TADOConnection conn;
    conn.SetConnectionString(connectionString);
    bool ok = false;
    try {
        QSqlDatabase db = conn.Database();
        ok = ServerExec(db, QStringLiteral("BEGIN"), error);
        if (ok) {
            ok = work(db) && ServerExec(db, QStringLiteral("COMMIT"), error);
            if (!ok) {
                QString ignored;
                ServerExec(db, QStringLiteral("ROLLBACK"), &ignored);
            }
        }
    } catch (const Exception& e) {
        if (error)
            *error = e.Message();
        ok = false;
    }
    return ok;
}

bool IsServerConnection(const QString& connectionString)
{
    TAdoConn probe;
    probe.SetConnectionString(connectionString);
    return probe.IsPostgres();
}

QString DataSourceOf(const QString& connectionString)
{
    TADOConnection probe;
    probe.SetConnectionString(connectionString);
    return probe.ConnectionValue(QStringLiteral("Data Source"));
}

}  // namespace

bool CreateSchemaAt(const QString& connectionString, QString* error)
{
    if (!IsServerConnection(connectionString))
        return CreateSchema(DataSourceOf(connectionString), error);
    const QString schema = ServerSchemaText(error);
    if (schema.isEmpty())
        return false;
    return WithServer(connectionString, error, [&](QSqlDatabase& db) { return ServerSchema(db, schema, error); });
}

bool CreateDemoDatabaseAt(const QString& connectionString, int records, QString* error, const TDemoProgress& progress)
{
    if (!IsServerConnection(connectionString)) {
        const QString path = DataSourceOf(connectionString);
        if (path.isEmpty()) {
            if (error)
                *error = QStringLiteral("连接字符串没有指定数据库文件（Data Source）");
            return false;
        }
        return CreateDemoDatabase(path, records, error, progress);
    }
    const QString schema = ServerSchemaText(error);
    if (schema.isEmpty())
        return false;
    QTemporaryDir scratch;
    const QString path = scratch.filePath(QStringLiteral("demo.db"));
    if (!scratch.isValid() || !CreateDemoDatabase(path, records, error, progress)) {
        if (error && !scratch.isValid())
            *error = QStringLiteral("无法创建临时文件夹");
        return false;
    }
    Db source;
    if (!source.Open(path, error))
        return false;
    const bool ok = WithServer(connectionString, error, [&](QSqlDatabase& db) {
        if (!ServerSchema(db, schema, error))
            return false;
        QSqlQuery q(db);
        if (!q.exec(QStringLiteral("SELECT count(*) FROM BusiBudgetAdj")) || !q.next()) {
            if (error)
                *error = q.lastError().text();
            return false;
        }
        if (q.value(0).toLongLong() > 0) {
            if (error)
                *error = QStringLiteral("数据库中已有预算记录：%1").arg(db.databaseName());
            return false;
        }
        for (const char* table : DemoTables)
            if (!CopyTable(source, db, table, error))
                return false;
        return true;
    });
    // Fresh statistics for the planner; outside the transaction by necessity.
    if (ok) {
        QString ignored;
        TADOConnection conn;
        conn.SetConnectionString(connectionString);
        try {
            QSqlDatabase db = conn.Database();
            ServerExec(db, QStringLiteral("ANALYZE"), &ignored);
        } catch (const Exception&) {
        }
    }
    return ok;
}

// ---------------------------------------------------------------------------
// Schema upkeep: the database a host opens, brought up to the module's version.

namespace {

enum class TKindOfDb { SQLite, Postgres, SqlServer, Oracle, Access, Other };

TKindOfDb KindOf(const QString& connectionString)
{
    TAdoConn probe;
    probe.SetConnectionString(connectionString);
    if (probe.IsOracle())
        return TKindOfDb::Oracle;
    if (probe.IsAccess())
        return TKindOfDb::Access;
    if (probe.IsSqlServer())
        return TKindOfDb::SqlServer;
    if (probe.IsPostgres())
        return TKindOfDb::Postgres;
    return AsciiUpper(probe.Provider()).contains(QLatin1String("SQLITE")) ? TKindOfDb::SQLite : TKindOfDb::Other;
}

// "CREATE INDEX IF NOT EXISTS name ON table(...)": the index and its table.
bool IndexStatement(const QString& statement, QString* index, QString* table)
{
    static const QRegularExpression re(QStringLiteral("^CREATE INDEX (?:IF NOT EXISTS )?(\\w+) ON (\\w+)\\("),
                                       QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = re.match(statement);
    if (!m.hasMatch())
        return false;
    *index = m.captured(1);
    *table = m.captured(2);
    return true;
}

QString IndexStep(const QString& index, const QString& table, qint64 rows)
{
    return QStringLiteral("正在建立索引 %1（%2，%3 条记录）…").arg(index, table).arg(rows);
}

TUpgradeResult UpgradeSqlite(const QString& path, const std::function<void(const QString&)>& progress, QString* error)
{
    const QString script = ScriptText(QStringLiteral("upgrade.sql"), error);
    if (script.isEmpty())
        return TUpgradeResult::Failed;
    Db db;
    const QByteArray p = QFile::encodeName(path);
    if (path.isEmpty() || sqlite3_open_v2(p.constData(), &db.h, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
        if (error)
            *error = QStringLiteral("无法打开数据库%1：%2").arg(path, db.Message());
        return TUpgradeResult::Failed;
    }
    if (sqlite3_db_readonly(db.h, "main") == 1)
        return TUpgradeResult::ReadOnly;
    sqlite3_busy_timeout(db.h, 5000);
    auto scalar = [&](const QByteArray& sql) -> qint64 {
        sqlite3_stmt* st = nullptr;
        qint64 v = -1;
        if (sqlite3_prepare_v2(db.h, sql.constData(), -1, &st, nullptr) == SQLITE_OK && sqlite3_step(st) == SQLITE_ROW)
            v = sqlite3_column_int64(st, 0);
        sqlite3_finalize(st);
        return v;
    };
    if (scalar("PRAGMA user_version") >= ModuleSchemaVersion)
        return TUpgradeResult::Current;
    if (!db.Exec("BEGIN IMMEDIATE", error)) {
        const int code = sqlite3_extended_errcode(db.h) & 0xFF;
        return code == SQLITE_READONLY || code == SQLITE_CANTOPEN ? TUpgradeResult::ReadOnly : TUpgradeResult::Failed;
    }
    for (const QString& statement : SchemaStatements(script)) {
        QString index, table;
        if (progress && IndexStatement(statement, &index, &table)
            && scalar(QStringLiteral("select count(*) from sqlite_master where type='index' and name='%1'").arg(index).toUtf8()) == 0)
            progress(IndexStep(index, table, scalar(QStringLiteral("select count(*) from %1").arg(table).toUtf8())));
        if (!db.Exec(statement.toUtf8(), error)) {
            QString ignored;
            db.Exec("ROLLBACK", &ignored);
            return TUpgradeResult::Failed;
        }
    }
    if (!db.Exec(QStringLiteral("PRAGMA user_version=%1; COMMIT").arg(ModuleSchemaVersion).toUtf8(), error)) {
        QString ignored;
        db.Exec("ROLLBACK", &ignored);
        return TUpgradeResult::Failed;
    }
    return TUpgradeResult::Upgraded;
}

TUpgradeResult UpgradePostgres(const QString& connectionString, const std::function<void(const QString&)>& progress,
                               QString* error)
{
    const QString script = ScriptText(QStringLiteral("upgrade_pg.sql"), error);
    if (script.isEmpty())
        return TUpgradeResult::Failed;
    TUpgradeResult result = TUpgradeResult::Upgraded;
    QString refused;
    const bool ok = WithServer(connectionString, error, [&](QSqlDatabase& db) {
        auto scalar = [&](const QString& sql) -> qint64 {
            QSqlQuery q(db);
            return q.exec(sql) && q.next() && !q.value(0).isNull() ? q.value(0).toLongLong() : -1;
        };
        if (scalar(QStringLiteral("select to_regclass('veltrane_schema') is not null")) == 1
            && scalar(QStringLiteral("select max(version) from veltrane_schema")) >= ModuleSchemaVersion) {
            result = TUpgradeResult::Current;
            return true;
        }
        for (const QString& statement : SchemaStatements(script)) {
            QString index, table;
            if (progress && IndexStatement(statement, &index, &table)
                && scalar(QStringLiteral("select count(*) from pg_indexes where indexname='%1'").arg(index.toLower())) == 0)
                progress(IndexStep(index, table, scalar(QStringLiteral("select count(*) from %1").arg(table))));
            QSqlQuery q(db);
            if (!q.exec(statement)) {
                // 42501: insufficient privilege; the owner of the tables may.
                if (q.lastError().nativeErrorCode() == QLatin1String("42501"))
                    refused = q.lastError().text();
                if (error)
                    *error = q.lastError().text();
                return false;
            }
        }
        return true;
    });
    if (!ok)
        return refused.isEmpty() ? TUpgradeResult::Failed : TUpgradeResult::Refused;
    return result;
}

// SQL Server, Oracle and Access through ODBC: their scripts as statements.
TUpgradeResult UpgradeOdbc(const QString& connectionString, TKindOfDb kind, QString* error)
{
    const QString name = UpgradeScriptName(connectionString);
    const QString script = ScriptText(name, error);
    if (script.isEmpty())
        return TUpgradeResult::Failed;
    QStringList statements;
    if (kind == TKindOfDb::SqlServer) {
        statements << script;   // one batch
    } else if (kind == TKindOfDb::Oracle) {
        for (const QString& block : script.split(QRegularExpression(QStringLiteral("\\n/\\n"))))
            if (block.contains(QLatin1String("BEGIN EXECUTE")))
                statements << block.mid(block.indexOf(QLatin1String("BEGIN EXECUTE"))).trimmed();
            else
                statements << SchemaStatements(block);
    } else {
        statements = SchemaStatements(script);
    }
    TADOConnection conn;
    conn.SetConnectionString(connectionString);
    try {
        QSqlDatabase db = conn.Database();
        for (const QString& statement : std::as_const(statements)) {
            QSqlQuery q(db);
            // Access has no IF NOT EXISTS: an object that is there already is passed over.
            if (!q.exec(statement) && kind != TKindOfDb::Access) {
                if (error)
                    *error = q.lastError().text();
                return TUpgradeResult::Failed;
            }
        }
    } catch (const Exception& e) {
        if (error)
            *error = e.Message();
        return TUpgradeResult::Failed;
    }
    return TUpgradeResult::Upgraded;
}

}  // namespace

QString UpgradeScriptName(const QString& connectionString)
{
    switch (KindOf(connectionString)) {
    case TKindOfDb::Postgres:
        return QStringLiteral("upgrade_pg.sql");
    case TKindOfDb::SqlServer:
        return QStringLiteral("upgrade_mssql.sql");
    case TKindOfDb::Oracle:
        return QStringLiteral("upgrade_oracle.sql");
    case TKindOfDb::Access:
        return QStringLiteral("upgrade_access.sql");
    default:
        return QStringLiteral("upgrade.sql");
    }
}

TUpgradeResult UpgradeDatabase(const QString& connectionString, const std::function<void(const QString&)>& Progress,
                               QString* Error)
{
    const TKindOfDb kind = KindOf(connectionString);
    switch (kind) {
    case TKindOfDb::SQLite:
        return UpgradeSqlite(DataSourceOf(connectionString), Progress, Error);
    case TKindOfDb::Postgres:
        return UpgradePostgres(connectionString, Progress, Error);
    case TKindOfDb::Other:
        if (Error)
            *Error = QStringLiteral("无法识别的数据库类型，没有可用的升级脚本");
        return TUpgradeResult::Failed;
    default:
        return UpgradeOdbc(connectionString, kind, Error);
    }
}
