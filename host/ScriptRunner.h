#pragma once
// Scripted mode: one command per line, one line per turn of the event loop, so a
// modal window's local loop does not stop the script (it goes on inside it).
#include <QMap>
#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

class HostSession;
class QTextStream;
class QFile;
class QTimer;

class ScriptRunner : public QObject {
    Q_OBJECT
public:
    // A command gets its words after the name and the raw rest of the line; false
    // with a message when it could not do what the line asks.
    using Handler = std::function<bool(const QStringList& args, const QString& rest, QString& error)>;
    struct Command {
        QString usage;
        Handler run;
    };

    ScriptRunner(HostSession& session, QObject* parent = nullptr);
    ~ScriptRunner() override;

    // FILE, or "-" for standard input. False with a message when it cannot be read.
    bool Open(const QString& source, QString* error);
    // Runs the script from the event loop; the application exits with its result.
    void Start();

    void AddCommand(const QString& name, const QString& usage, Handler run);
    const QMap<QString, Command>& Commands() const { return FCommands; }

    // One line of output (flushed at once, so a reader sees the order of events).
    static void Print(const QString& line);

    HostSession& Session() { return FSession; }
    // The answer for the next question box; used once, then back to yes.
    bool TakeAnswer();
    // Holds the script for ms milliseconds, the event loop running meanwhile.
    void Pause(int ms);
    // For a command whose work ends later (the window keeps Busy until then):
    // the end of the line that runs now. An error given to it stops the script
    // as the line's own failure would; an empty one is a success.
    std::function<void(const QString& Error)> LineEnd();

private:
    void RegisterBasicCommands();
    void InstallHooks();
    bool NextLine(QString& line);
    void Schedule(int ticks, int delayMs = 0);
    void Tick(int generation, int left);
    void RunLine();
    void Finish(int code);
    void Fail(int lineNo, const QString& line, const QString& error);
    // Whether a window of the module still has work on: the next line waits.
    bool WindowBusy() const;
    void StallTick();

    HostSession& FSession;
    QMap<QString, Command> FCommands;
    std::unique_ptr<QFile> FFile;
    std::unique_ptr<QTextStream> FStream;
    int FLineNo = 0;
    QString FLine;   // the line that runs now, as the script has it
    int FGeneration = 0;
    bool FAnswerYes = true;
    bool FFinished = false;
    // Turns of settling the window has been idle for since the line before ended.
    int FQuietRounds = 0;
    // The next line runs without waiting for the window's work (nowait).
    bool FNoWait = false;
    // The longest time the interface thread went without processing events, as
    // seen by a timer that fires every few milliseconds whenever it can.
    QTimer* FStallTimer = nullptr;
    QElapsedTimer FSinceTick;
    qint64 FLongestStall = 0;
};

// The window commands (tree, grid, buttons ...), kept beside the basic ones.
void RegisterWindowCommands(ScriptRunner& runner);
