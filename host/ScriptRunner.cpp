#include "host/ScriptRunner.h"
#include "data/untDbManager.h"
#include "host/HostSession.h"
#include "plugin/untIVeltraneWindow.h"
#include "toolkit/ADODB.h"
#include <QMainWindow>
#include <QMdiSubWindow>
#include <QMenu>
#include "toolkit/Forms.h"
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPointer>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTextStream>
#include <QTimer>
#include <cstdio>

namespace {

// Turns of the event loop between two lines: enough for a close, the release it
// posts and the deletion that follows to be done before the next line looks.
constexpr int SettleTicks = 6;

}  // namespace

ScriptRunner::ScriptRunner(HostSession& session, QObject* parent) : QObject(parent), FSession(session)
{
    RegisterBasicCommands();
    RegisterWindowCommands(*this);
    InstallHooks();
    FStallTimer = new QTimer(this);
    FStallTimer->setTimerType(Qt::PreciseTimer);
    FStallTimer->setInterval(2);
    connect(FStallTimer, &QTimer::timeout, this, &ScriptRunner::StallTick);
    FSinceTick.start();
    FStallTimer->start();
}

void ScriptRunner::StallTick()
{
    FLongestStall = qMax(FLongestStall, FSinceTick.restart());
}

bool ScriptRunner::WindowBusy() const
{
    // A quit waiting for a window to end its run: the lines after it wait too.
    if (FSession.QuitPending())
        return true;
    for (TForm* f : FSession.ModuleWindows())
        if (auto* w = qobject_cast<IVeltraneWindow*>(f); w && w->Busy())
            return true;
    return false;
}

ScriptRunner::~ScriptRunner()
{
    if (TApplication* app = FSession.Application()) {
        app->OnMessageBox = nullptr;
        app->OnException = nullptr;
    }
}

void ScriptRunner::Print(const QString& line)
{
    const QByteArray bytes = line.toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

bool ScriptRunner::TakeAnswer()
{
    const bool yes = FAnswerYes;
    FAnswerYes = true;
    return yes;
}

void ScriptRunner::InstallHooks()
{
    TApplication* app = FSession.Application();
    app->OnMessageBox = [this](const QString& text, const QString& caption, int flags) {
        // One line per message, so that a script reads each whole.
        QString line = text;
        line.replace(QLatin1Char('\n'), QLatin1Char(' '));
        Print(QStringLiteral("message %1 | %2").arg(caption, line));
        if ((flags & 0x0F) == MB_YESNO)
            return TakeAnswer() ? int(IDYES) : int(IDNO);
        if ((flags & 0x0F) == MB_OKCANCEL)
            return TakeAnswer() ? int(IDOK) : int(IDCANCEL);
        return int(IDOK);
    };
    app->OnException = [app](QObject*, const QString&, const QString& message) {
        Print(QStringLiteral("message %1 | %2").arg(app->Title(), message));
    };
}

bool ScriptRunner::Open(const QString& source, QString* error)
{
    if (source == QLatin1String("-")) {
        FFile = std::make_unique<QFile>();
        if (!FFile->open(stdin, QIODevice::ReadOnly)) {
            *error = QStringLiteral("无法读取标准输入");
            return false;
        }
    } else {
        FFile = std::make_unique<QFile>(source);
        if (!FFile->open(QIODevice::ReadOnly)) {
            *error = QStringLiteral("无法打开脚本 %1：%2").arg(source, FFile->errorString());
            return false;
        }
    }
    FStream = std::make_unique<QTextStream>(FFile.get());
    FStream->setEncoding(QStringConverter::Utf8);
    return true;
}

void ScriptRunner::Start()
{
    Schedule(1);
}

bool ScriptRunner::NextLine(QString& line)
{
    if (!FStream || FStream->atEnd())
        return false;
    line = FStream->readLine();
    ++FLineNo;
    return true;
}

void ScriptRunner::Schedule(int ticks, int delayMs)
{
    const int generation = FGeneration;
    QTimer::singleShot(delayMs, this, [this, generation, ticks] { Tick(generation, ticks); });
}

void ScriptRunner::Tick(int generation, int left)
{
    // A failed line, a pause or the end of the script stops the turns still queued.
    if (generation != FGeneration || FFinished)
        return;
    if (left > 0) {
        QTimer::singleShot(0, this, [this, generation, left] { Tick(generation, left - 1); });
        return;
    }
    if (FNoWait) {
        FNoWait = false;
        FQuietRounds = 0;
        RunLine();
        return;
    }
    // Work a line started (a load, a confirmation) ends before the next line
    // looks at its result; the window stays responsive meanwhile.
    if (WindowBusy()) {
        FQuietRounds = 0;
        QTimer::singleShot(5, this, [this, generation] { Tick(generation, 0); });
        return;
    }
    // Idle once is not enough: what the finished work posts (a reload after a run,
    // a selection the tree makes when it is shown) may start more work. The window
    // must stay idle over a second round of settling.
    if (FQuietRounds == 0) {
        FQuietRounds = 1;
        Tick(generation, SettleTicks);
        return;
    }
    FQuietRounds = 0;
    RunLine();
}

void ScriptRunner::Pause(int ms)
{
    ++FGeneration;
    Schedule(SettleTicks, ms);
}

void ScriptRunner::RunLine()
{
    QString line;
    for (;;) {
        if (!NextLine(line)) {
            Finish(0);
            return;
        }
        line = line.trimmed();
        if (!line.isEmpty() && !line.startsWith(QLatin1Char('#')))
            break;
    }
    static const QRegularExpression space(QStringLiteral("\\s+"));
    // "nowait LINE": the line after this one does not wait for the work this one starts.
    if (line.startsWith(QLatin1String("nowait "))) {
        FNoWait = true;
        line = line.mid(7).trimmed();
    }
    const qsizetype cut = line.indexOf(space);
    const QString name = cut < 0 ? line : line.left(cut);
    const QString rest = cut < 0 ? QString() : line.mid(cut).trimmed();
    const QStringList args = rest.split(space, Qt::SkipEmptyParts);
    const int lineNo = FLineNo;
    FLine = line;

    auto it = FCommands.constFind(name.toLower());
    if (it == FCommands.constEnd()) {
        std::fprintf(stderr, "%s\n", qPrintable(QStringLiteral("脚本第%1行：未知命令“%2”").arg(lineNo).arg(name)));
        Finish(1);
        return;
    }
    // The next line is on its way before this one runs: a modal window opened now
    // runs its own loop, and the script goes on inside it.
    Schedule(SettleTicks);
    QString error;
    bool ok = false;
    try {
        ok = it->run(args, rest, error);
    } catch (const std::exception& e) {
        error = QString::fromUtf8(e.what());
    }
    if (!ok)
        Fail(lineNo, line, error);
}

void ScriptRunner::Fail(int lineNo, const QString& line, const QString& error)
{
    std::fprintf(stderr, "%s\n", qPrintable(QStringLiteral("脚本第%1行（%2）：%3").arg(lineNo).arg(line, error)));
    Finish(1);
}

std::function<void(const QString& Error)> ScriptRunner::LineEnd()
{
    return [self = QPointer<ScriptRunner>(this), lineNo = FLineNo, line = FLine](const QString& error) {
        if (self && !error.isEmpty())
            self->Fail(lineNo, line, error);
    };
}

void ScriptRunner::Finish(int code)
{
    if (FFinished)
        return;
    FFinished = true;
    ++FGeneration;
    QCoreApplication::exit(code);
}

void ScriptRunner::AddCommand(const QString& name, const QString& usage, Handler run)
{
    FCommands.insert(name, Command{usage, std::move(run)});
}

void ScriptRunner::RegisterBasicCommands()
{
    AddCommand(QStringLiteral("open"), QStringLiteral("open [NAME]"), [this](const QStringList& args, const QString&, QString& error) {
        if (args.size() > 1) {
            error = QStringLiteral("用法：open [NAME]");
            return false;
        }
        const QString name = args.isEmpty() ? QStringLiteral("TbfrmVeltrane") : args.first();
        Print(QStringLiteral("result %1").arg(FSession.ShowPlugInWindow(name)));
        return true;
    });
    AddCommand(QStringLiteral("windows"), QStringLiteral("windows"), [this](const QStringList&, const QString&, QString&) {
        for (TForm* f : FSession.ModuleWindows())
            Print(QStringLiteral("window %1 caption=%2 left=%3 top=%4 width=%5 height=%6 visible=%7")
                      .arg(f->ClassName(), f->Caption())
                      .arg(f->Left())
                      .arg(f->Top())
                      .arg(f->Width())
                      .arg(f->Height())
                      .arg(f->Visible() ? 1 : 0));
        return true;
    });
    AddCommand(QStringLiteral("close"), QStringLiteral("close"), [this](const QStringList&, const QString&, QString& error) {
        TForm* f = FSession.ActiveModuleWindow();
        if (!f) {
            error = QStringLiteral("没有打开的模块窗口");
            return false;
        }
        // As the user does: the frame's close button.
        f->Frame()->close();
        return true;
    });
    AddCommand(QStringLiteral("answer"), QStringLiteral("answer yes|no"), [this](const QStringList& args, const QString&, QString& error) {
        if (args.size() != 1 || (args[0] != QLatin1String("yes") && args[0] != QLatin1String("no"))) {
            error = QStringLiteral("用法：answer yes|no");
            return false;
        }
        FAnswerYes = args[0] == QLatin1String("yes");
        return true;
    });
    AddCommand(QStringLiteral("screenshot"), QStringLiteral("screenshot [FILE]"), [this](const QStringList&, const QString& rest, QString& error) {
        // Without a file: veltrane-screenshot.png in the build folder the host
        // runs from (never among the sources), else in the working folder.
        QString file = rest;
        if (file.isEmpty()) {
            QDir build(QCoreApplication::applicationDirPath());
            const bool inBuild = build.cdUp() && build.exists(QStringLiteral("CMakeCache.txt"));
            file = (inBuild ? build : QDir::current()).filePath(QStringLiteral("veltrane-screenshot.png"));
        }
        if (!FSession.MainWindow()->grab().save(file, "PNG")) {
            error = QStringLiteral("无法保存截图 %1").arg(file);
            return false;
        }
        if (rest.isEmpty())
            Print(QStringLiteral("screenshot %1").arg(QDir::toNativeSeparators(file)));
        return true;
    });
    AddCommand(QStringLiteral("stalls"), QStringLiteral("stalls"), [this](const QStringList&, const QString&, QString&) {
        StallTick();
        Print(QStringLiteral("stalls %1").arg(FLongestStall));
        FLongestStall = 0;
        return true;
    });
    AddCommand(QStringLiteral("quit"), QStringLiteral("quit"), [this](const QStringList&, const QString&, QString&) {
        // As 文件 › 退出: the main window closes, unless a module window keeps it open.
        if (!FSession.MainWindow()->close() && !FSession.QuitPending())
            Print(QStringLiteral("quit refused"));
        return true;
    });
    AddCommand(QStringLiteral("module"), QStringLiteral("module"), [this](const QStringList&, const QString&, QString&) {
        Print(QStringLiteral("module %1").arg(QDir::toNativeSeparators(FSession.LoadedModulePath())));
        return true;
    });
    AddCommand(QStringLiteral("echo"), QStringLiteral("echo TEXT"), [](const QStringList&, const QString& rest, QString&) {
        Print(rest);
        return true;
    });
    AddCommand(QStringLiteral("wait"), QStringLiteral("wait MS"), [this](const QStringList& args, const QString&, QString& error) {
        bool ok = false;
        const int ms = args.size() == 1 ? args[0].toInt(&ok) : 0;
        if (!ok || ms < 0) {
            error = QStringLiteral("用法：wait MS");
            return false;
        }
        Pause(ms);
        return true;
    });
    AddCommand(QStringLiteral("sql"), QStringLiteral("sql STATEMENT"), [this](const QStringList&, const QString& rest, QString& error) {
        TADOConnection* def = FSession.Def();
        if (!def) {
            error = QStringLiteral("没有“Def”连接");
            return false;
        }
        if (rest.isEmpty()) {
            error = QStringLiteral("用法：sql STATEMENT");
            return false;
        }
        TADOConnection::Trace(rest);
        QSqlQuery q(def->Database());
        q.setForwardOnly(true);
        if (!q.exec(rest)) {
            error = q.lastError().text();
            return false;
        }
        while (q.isSelect() && q.next()) {
            QStringList cells;
            const int n = q.record().count();
            for (int i = 0; i < n; ++i)
                cells << (q.isNull(i) ? QString() : q.value(i).toString());
            Print(cells.join(QLatin1Char('\t')));
        }
        return true;
    });
}
