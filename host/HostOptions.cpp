#include "host/HostOptions.h"
#include <QFileInfo>
#include <QSettings>

const QStringList& HostParamNames()
{
    static const QStringList names{QStringLiteral("AskBeforeDelete"), QStringLiteral("DefaultBType"),
                                   QStringLiteral("ReportDelete"), QStringLiteral("FinanceOfficeFlag"),
                                   QStringLiteral("OfficeColumns"), QStringLiteral("OfficeFilter"),
                                   QStringLiteral("LargeRunRecords")};
    return names;
}

namespace {

bool ToInt(const QString& text, int& out)
{
    bool ok = false;
    const int v = text.trimmed().toInt(&ok);
    if (ok)
        out = v;
    return ok;
}

QString CanonicalParam(const QString& name)
{
    for (const QString& n : HostParamNames())
        if (n.compare(name, Qt::CaseInsensitive) == 0)
            return n;
    return {};
}

// One setting by its option name (without the dashes); shared by the INI file and
// the command line so both accept the same names and values.
bool Apply(HostOptions& o, const QString& key, const QString& value, QString& error)
{
    auto bad = [&] {
        error = QStringLiteral("选项 --%1 的值无效：%2").arg(key, value);
        return false;
    };
    if (key == QLatin1String("year")) {
        if (!ToInt(value, o.year) || o.year <= 0)
            return bad();
    } else if (key == QLatin1String("unit")) {
        o.unit = value;
    } else if (key == QLatin1String("unit-field")) {
        const qsizetype eq = value.indexOf(QLatin1Char('='));
        int index = -1;
        if (eq <= 0 || !ToInt(value.left(eq), index) || index < 0 || index > 255)
            return bad();
        o.unitFields[index] = value.mid(eq + 1);
    } else if (key == QLatin1String("office")) {
        o.office = value;
    } else if (key == QLatin1String("param")) {
        const qsizetype eq = value.indexOf(QLatin1Char('='));
        const QString name = eq > 0 ? CanonicalParam(value.left(eq).trimmed()) : QString();
        if (name.isEmpty())
            return bad();
        const QString v = value.mid(eq + 1);
        int n = 0;
        if ((name == QLatin1String("DefaultBType") || name == QLatin1String("OfficeFilter")
             || name == QLatin1String("LargeRunRecords"))
            && !ToInt(v, n))
            return bad();
        o.params[name] = v;
    } else if (key == QLatin1String("connection")) {
        o.connection = value;
    } else if (key == QLatin1String("token")) {
        bool ok = false;
        const quint32 t = value.trimmed().toUInt(&ok, 0);
        if (!ok)
            return bad();
        o.token = t;
    } else if (key == QLatin1String("module")) {
        o.module = value;
    } else if (key == QLatin1String("script")) {
        o.script = value;
    } else if (key == QLatin1String("screen")) {
        const QStringList wh = value.toLower().split(QLatin1Char('x'));
        int w = 0, h = 0;
        // The main window is made that large and painted: a size far beyond any
        // screen would need more memory than a picture of it can have.
        if (wh.size() != 2 || !ToInt(wh[0], w) || !ToInt(wh[1], h) || w < MinScreenSide || h < MinScreenSide
            || w > MaxScreenSide || h > MaxScreenSide) {
            error = QStringLiteral("选项 --%1 的值无效：%2（宽和高须在 %3 到 %4 之间）")
                        .arg(key, value)
                        .arg(MinScreenSide)
                        .arg(MaxScreenSide);
            return false;
        }
        o.screen = QSize(w, h);
    } else if (key == QLatin1String("create-demo")) {
        o.createDemo = value;
    } else if (key == QLatin1String("records")) {
        if (!ToInt(value, o.records) || o.records < 0)
            return bad();
    } else if (key == QLatin1String("trace-sql")) {
        o.traceSql = value;
    } else if (key == QLatin1String("operator")) {
        if (value.trimmed().isEmpty())
            return bad();
        o.operatorName = value.trimmed();
    } else {
        error = QStringLiteral("未知选项：--%1").arg(key);
        return false;
    }
    return true;
}

bool ReadIni(const QString& file, HostOptions& o, QString& error)
{
    if (!QFileInfo(file).isFile()) {
        error = QStringLiteral("找不到配置文件：%1").arg(file);
        return false;
    }
    QSettings ini(file, QSettings::IniFormat);
    if (ini.status() != QSettings::NoError) {
        error = QStringLiteral("配置文件格式错误：%1").arg(file);
        return false;
    }
    ini.beginGroup(QStringLiteral("host"));
    for (const QString& key : ini.childKeys())
        if (!Apply(o, key.toLower(), ini.value(key).toString(), error))
            return false;
    ini.endGroup();
    ini.beginGroup(QStringLiteral("params"));
    for (const QString& key : ini.childKeys())
        if (!Apply(o, QStringLiteral("param"), key + QLatin1Char('=') + ini.value(key).toString(), error))
            return false;
    ini.endGroup();
    ini.beginGroup(QStringLiteral("unit-fields"));
    for (const QString& key : ini.childKeys())
        if (!Apply(o, QStringLiteral("unit-field"), key + QLatin1Char('=') + ini.value(key).toString(), error))
            return false;
    ini.endGroup();
    return true;
}

}  // namespace

bool ParseHostOptions(const QStringList& args, HostOptions& options, QString& error)
{
    // The INI file comes first wherever --config stands, so the command line wins.
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--config")) {
            if (i + 1 >= args.size()) {
                error = QStringLiteral("选项 --config 缺少值");
                return false;
            }
            options.configFile = args[i + 1];
        } else if (args[i].startsWith(QLatin1String("--config="))) {
            options.configFile = args[i].mid(9);
        }
    }
    if (!options.configFile.isEmpty() && !ReadIni(options.configFile, options, error))
        return false;

    for (int i = 1; i < args.size(); ++i) {
        const QString& a = args[i];
        if (a == QLatin1String("--help") || a == QLatin1String("-h")) {
            options.help = true;
            continue;
        }
        if (a == QLatin1String("--version")) {
            options.version = true;
            continue;
        }
        if (a == QLatin1String("--upgrade") || a == QLatin1String("--no-upgrade")) {
            (a == QLatin1String("--upgrade") ? options.upgrade : options.noUpgrade) = true;
            continue;
        }
        if (!a.startsWith(QLatin1String("--"))) {
            error = QStringLiteral("无法识别的参数：%1").arg(a);
            return false;
        }
        QString key = a.mid(2);
        QString value;
        const qsizetype eq = key.indexOf(QLatin1Char('='));
        if (eq >= 0) {
            value = key.mid(eq + 1);
            key = key.left(eq);
        } else {
            if (i + 1 >= args.size()) {
                error = QStringLiteral("选项 --%1 缺少值").arg(key);
                return false;
            }
            value = args[++i];
        }
        if (key == QLatin1String("config"))
            continue;
        if (!Apply(options, key, value, error))
            return false;
    }
    return true;
}

QString HostHelpText()
{
    return QStringLiteral(
        "用法: veltrane-host [选项]\n"
        "载入支付范围划分确认模块并打开其窗口。\n"
        "\n"
        "  --config FILE          INI 配置文件（[host] 各选项，[params] 系统参数，[unit-fields] 单位字段）\n"
        "  --year N               预算年度\n"
        "  --unit EID             登录单位编码（单位记录取自 pubdept 中该行）\n"
        "  --unit-field N=VALUE   设置单位记录第 N 个字段；VALUE 为 null 时置空\n"
        "  --office CODE          操作员所属处室编码（用户记录第 7 个字段）\n"
        "  --param NAME=VALUE     系统参数：AskBeforeDelete, DefaultBType, ReportDelete,\n"
        "                         FinanceOfficeFlag, OfficeColumns, OfficeFilter,\n"
        "                         LargeRunRecords（超过此条数的确认、撤销、删除先询问；0 每次询问；缺省 1000）\n"
        "  --connection STRING    \"Def\" 连接的连接字符串，如 \"Provider=SQLite;Data Source=/path/demo.db\"\n"
        "                         或 \"Provider=MSDASQL;Driver=...;Server=...;Database=...;UID=...;PWD=...\"\n"
        "                         （缺省：用户数据目录中的演示数据库，首次运行时创建）\n"
        "  --token N              宿主令牌 HostToken（PlugInReleased 时返回）\n"
        "  --module PATH          模块文件（缺省：程序旁的 libbVeltrane.so，没有时为安装目录中的）\n"
        "  --screen WxH           屏幕对象报告的尺寸（缺省：实际屏幕）\n"
        "  --script FILE|-        脚本模式：逐行执行命令（- 为标准输入）\n"
        "  --trace-sql FILE       把 \"Def\" 连接上执行的每条语句追加到 FILE（UTF-8，每行一条）\n"
        "  --create-demo PATH     创建演示数据库后退出（--connection 指向 PostgreSQL 时写入该数据库）\n"
        "  --records N            与 --create-demo 一起：预算记录条数\n"
        "  --operator NAME        操作员姓名（用户记录第 1 个字段，记入操作日志；缺省：系统用户名）\n"
        "  --upgrade              把数据库升级到模块的结构版本（索引、操作日志表）后退出\n"
        "  --no-upgrade           打开嵌入式数据库时不自动升级\n"
        "  --help                 显示本帮助\n"
        "  --version              显示程序名和版本\n"
        "\n"
        "脚本命令: open [NAME], windows, close, answer yes|no, screenshot [FILE], echo TEXT,\n"
        "  sql STATEMENT, tree, select EID|top, find TEXT, btype N, secret N, mode summary|detail,\n"
        "  view unconfirmed|confirmed, units delegated|all, grid, cells, tick ROW..., untick ROW...,\n"
        "  filter COLUMN TEXT, copy, press NAME, key SHORTCUT, buttons, state, status, wait MS,\n"
        "  stalls, cancelafter N, quit（如 文件 › 退出）, undo, history ROW,\n"
        "  journal [operator NAME] [action A] [from DATE] [to DATE] [unit EID] [record ID],\n"
        "  journal export FILE [条件…]（.xlsx、.csv 或 .pdf）,\n"
        "  nowait LINE（下一行不等待本行开始的工作）,\n"
        "  export FILE（.xlsx 或 .csv，按扩展名）, print FILE.pdf,\n"
        "  window maximized|normal, click ROW FIELD（在单元格中央按下并松开鼠标左键）,\n"
        "  wheel N（鼠标滚轮 N 格，负数向下）, toprow, refresh, module（载入的模块文件）\n");
}

QString HostVersionText()
{
#ifdef VELTRANE_VERSION
    return QStringLiteral("veltrane-host " VELTRANE_VERSION "\n");
#else
    return QStringLiteral("veltrane-host\n");
#endif
}
