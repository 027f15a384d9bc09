// Drives the real host binary for the reliability tests: whole scripts at once,
// or line by line for tests that act on the database between two commands.
#pragma once
#include "tests/TestSupport.h"
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <functional>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <QTemporaryDir>
#include <QUuid>
#include <QVariant>
#include <memory>
#include <ostream>

// Readable failure output for texts (defined with the host tests).
void PrintTo(const QString& s, std::ostream* os);

namespace hostproc {

struct Result {
    int code = -1;
    QString out;
    QString err;
    QStringList lines() const { return out.split(QLatin1Char('\n'), Qt::SkipEmptyParts); }
};

inline QString Bin(const QString& name) { return QDir(testsupport::BinDir()).filePath(name); }

inline QString Sqlite(const QString& file) { return QStringLiteral("Provider=SQLite;Data Source=") + file; }

// Where the hosts keep their per-user settings: a new folder for every host
// unless a test sets one for hosts that must remember across runs.
inline QString& ConfigHome()
{
    static QString home;
    return home;
}

inline void Prepare(QProcess& p)
{
    QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
    // The hosts run on the tests' own platform: offscreen, or the X server of
    // the desktop stage.
    e.insert(QStringLiteral("QT_QPA_PLATFORM"), qEnvironmentVariable("QT_QPA_PLATFORM", QStringLiteral("offscreen")));
    // The host's windows remember their layout per user: not across tests.
    static QTemporaryDir config;
    static int hosts = 0;
    e.insert(QStringLiteral("XDG_CONFIG_HOME"),
             ConfigHome().isEmpty() ? config.filePath(QString::number(++hosts)) : ConfigHome());
    p.setProcessEnvironment(e);
}

inline Result Exec(const QStringList& args, const QByteArray& input = {})
{
    QProcess p;
    Prepare(p);
    p.start(Bin(QStringLiteral("veltrane-host")), args);
    if (!p.waitForStarted(10000))
        return {};
    p.write(input);
    p.closeWriteChannel();
    if (!p.waitForFinished(120000)) {
        p.kill();
        p.waitForFinished();
    }
    Result r;
    r.code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

inline Result Script(const QString& database, const QString& script, QStringList extra = {})
{
    QStringList args{QStringLiteral("--connection"), Sqlite(database), QStringLiteral("--screen"),
                     QStringLiteral("1024x768"), QStringLiteral("--script"), QStringLiteral("-")};
    return Exec(args + extra, script.toUtf8());
}

// A host kept running; Send() writes lines and waits for an echoed marker.
class Session {
public:
    explicit Session(const QStringList& args)
    {
        Prepare(FProcess);
        FProcess.start(Bin(QStringLiteral("veltrane-host")), args);
        FProcess.waitForStarted(10000);
    }
    ~Session()
    {
        if (FProcess.state() != QProcess::NotRunning) {
            FProcess.kill();
            FProcess.waitForFinished();
        }
    }
    // Output up to the marker; empty with Failed() set when the host ended or timed out.
    QString Send(const QString& lines, int timeoutMs = 30000)
    {
        Write(lines);
        return Wait(timeoutMs);
    }
    // Write() then Wait() lets two hosts run their lines at the same time.
    void Write(const QString& lines)
    {
        FPending = QStringLiteral("--mark-%1--").arg(++FMarks);
        FProcess.write((lines + QStringLiteral("echo ") + FPending + QLatin1Char('\n')).toUtf8());
        FProcess.waitForBytesWritten(1000);
    }
    QString Wait(int timeoutMs = 30000)
    {
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < timeoutMs) {
            const int at = int(FOut.indexOf(FPending));
            if (at >= 0) {
                const QString part = FOut.left(at);
                FOut = FOut.mid(at + FPending.size() + 1);
                return part;
            }
            if (FProcess.state() == QProcess::NotRunning)
                break;
            FProcess.waitForReadyRead(100);
            FOut += QString::fromUtf8(FProcess.readAllStandardOutput());
        }
        FFailed = true;
        return {};
    }
    Result Finish()
    {
        FProcess.closeWriteChannel();
        if (!FProcess.waitForFinished(60000))
            FProcess.kill();
        FProcess.waitForFinished();
        Result r;
        r.code = FProcess.exitStatus() == QProcess::NormalExit ? FProcess.exitCode() : -1;
        r.out = FOut + QString::fromUtf8(FProcess.readAllStandardOutput());
        r.err = QString::fromUtf8(FProcess.readAllStandardError());
        return r;
    }
    bool Failed() const { return FFailed; }

private:
    QProcess FProcess;
    QString FOut;
    QString FPending;
    int FMarks = 0;
    bool FFailed = false;
};

// A direct connection of the test itself on a SQLite file (another process to the host).
class Db {
public:
    explicit Db(const QString& file)
        : FName(QUuid::createUuid().toString())
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), FName);
        db.setDatabaseName(file);
        db.open();
    }
    // A server database, set up by the caller (driver name, then host, port...).
    Db(const QString& driver, const std::function<void(QSqlDatabase&)>& setup)
        : FName(QUuid::createUuid().toString())
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(driver, FName);
        setup(db);
        db.open();
    }
    ~Db()
    {
        {
            QSqlDatabase db = QSqlDatabase::database(FName, false);
            db.close();
        }
        QSqlDatabase::removeDatabase(FName);
    }
    QSqlDatabase Handle() const { return QSqlDatabase::database(FName, false); }
    bool Exec(const QString& sql) const
    {
        QSqlQuery q(Handle());
        return q.exec(sql);
    }
    QVariant Value(const QString& sql) const
    {
        QSqlQuery q(Handle());
        if (!q.exec(sql) || !q.next())
            return {};
        return q.value(0);
    }
    // Every record as "budgid=status", to compare whole tables.
    QStringList Statuses() const
    {
        QStringList all;
        QSqlQuery q(Handle());
        q.exec(QStringLiteral("select BudgId, status from BusiBudgetAdj order by datayear, BudgId"));
        while (q.next())
            all << q.value(0).toString() + QLatin1Char('=') + q.value(1).toString();
        return all;
    }

private:
    QString FName;
};

// Makes a file nobody may write for the life of the object (as root only the
// immutable flag stops writes); Made() is false where no such file can be made.
class ReadOnlyFile {
public:
    explicit ReadOnlyFile(const QString& file) : FFile(file)
    {
        QFile::setPermissions(file, QFileDevice::ReadOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther);
        FImmutable = QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("+i"), file}) == 0;
    }
    ~ReadOnlyFile()
    {
        if (FImmutable)
            QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("-i"), FFile});
    }
    bool Made() const { return !QFile(FFile).open(QIODevice::ReadWrite); }

private:
    QString FFile;
    bool FImmutable = false;
};

// A fresh demo database of a few hundred records.
inline bool CreateDemo(const QString& file, int records = 300)
{
    QFile::remove(file);
    return Exec({QStringLiteral("--create-demo"), file, QStringLiteral("--records"), QString::number(records)}).code == 0;
}

}  // namespace hostproc
