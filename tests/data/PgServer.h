#pragma once
// The PostgreSQL server of the server tests. Its connection string comes from
// VELTRANE_PG_CONNECTION, or from the file named by VELTRANE_PG_CONNECTION_FILE
// (written by scripts/pg-test-server.sh, which the test run starts). Each test
// works in a database of its own, dropped at its end.
#include "toolkit/ADODB.h"
#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QStringList>
#include <atomic>

namespace pgtest {

inline QString ServerConnectionString()
{
    QString cs = qEnvironmentVariable("VELTRANE_PG_CONNECTION");
    if (cs.isEmpty()) {
        QFile f(qEnvironmentVariable("VELTRANE_PG_CONNECTION_FILE"));
        if (f.open(QIODevice::ReadOnly))
            cs = QString::fromUtf8(f.readAll()).trimmed();
    }
    return cs;
}

// The connection string with another database.
inline QString WithDatabase(const QString& cs, const QString& database)
{
    QStringList parts;
    for (const QString& p : cs.split(QLatin1Char(';'), Qt::SkipEmptyParts))
        if (!p.trimmed().startsWith(QLatin1String("Database="), Qt::CaseInsensitive))
            parts << p;
    parts << QStringLiteral("Database=") + database;
    return parts.join(QLatin1Char(';'));
}

inline void Exec(TADOConnection& c, const QString& sql)
{
    TADOCommand cmd;
    cmd.SetConnection(&c);
    cmd.SetCommandText(sql);
    cmd.Execute();
}

inline QString Scalar(TADOConnection& c, const QString& sql)
{
    TADOQuery q;
    q.SetConnection(&c);
    q.SetSQLText(sql);
    q.Open();
    return q.Eof() ? QString() : q.CellText(0, 0).toString();
}

// A fresh database on the server; Skip holds why there is none.
class Database {
public:
    Database()
    {
        const QString server = ServerConnectionString();
        if (server.isEmpty()) {
            Skip = "NOTICE: no PostgreSQL server (VELTRANE_PG_CONNECTION unset): server tests skipped";
            return;
        }
        admin.SetConnectionString(server);
        try {
            Scalar(admin, QStringLiteral("select 1"));
            static std::atomic<int> serial{0};
            Name = QStringLiteral("veltrane_t%1_%2").arg(QCoreApplication::applicationPid()).arg(++serial);
            Exec(admin, QStringLiteral("create database ") + Name);
        } catch (const Exception& e) {
            Name.clear();
            Skip = "NOTICE: PostgreSQL server not reachable, server tests skipped: " + e.Message().toStdString();
            return;
        }
        ConnectionString = WithDatabase(server, Name);
    }
    ~Database()
    {
        if (Name.isEmpty())
            return;
        // Twice: the first try may meet a connection the server dropped.
        for (int attempt = 0; attempt < 2; ++attempt) {
            try {
                Exec(admin, QStringLiteral("drop database if exists ") + Name + QStringLiteral(" with (force)"));
                return;
            } catch (const Exception&) {
            }
        }
    }
    // Restarts the test run's server; where the server is someone else's,
    // ends this database's sessions instead. False when neither worked.
    bool DropConnections()
    {
        const QString script = qEnvironmentVariable("VELTRANE_PG_SERVER");
        const QString dir = qEnvironmentVariable("VELTRANE_PG_DIR");
        if (!script.isEmpty() && !dir.isEmpty())
            return QProcess::execute(QStringLiteral("bash"), {script, QStringLiteral("restart"), dir}) == 0;
        try {
            Scalar(admin, QStringLiteral("select count(pg_terminate_backend(pid)) from pg_stat_activity"
                                         " where datname='%1'").arg(Name));
            return true;
        } catch (const Exception&) {
            return false;
        }
    }

    std::string Skip;
    QString Name;
    QString ConnectionString;
    TADOConnection admin;
};

}  // namespace pgtest
