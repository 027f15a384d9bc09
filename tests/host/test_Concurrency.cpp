// Two host processes on one SQLite file, one confirming and one cancelling
// summary rows whose key combinations overlap, round after round.
#include "tests/host/HostProcess.h"
#include "data/untDemoData.h"
#include "tests/data/PgServer.h"
#include "toolkit/ConnectionString.h"
#include <QSqlError>
#include <gtest/gtest.h>
#include <QElapsedTimer>
#include <QMap>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <cstdio>

using namespace hostproc;

namespace {

struct Update {
    QChar status;               // null for a row that was attempted only
    QSet<qlonglong> records;
};

// The status updates a host traced since the last call, each with the records it
// matches. The key conditions do not involve the status, so the match can be
// found afterwards with the same condition.
class TraceReader {
public:
    explicit TraceReader(QString file) : FFile(std::move(file)) {}
    QList<Update> Next(const Db& db)
    {
        QFile f(FFile);
        QList<Update> updates;
        if (!f.open(QIODevice::ReadOnly))
            return updates;
        const QStringList lines = QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        static const QRegularExpression update(QStringLiteral("^update BusiBudgetAdj  set status='(\\d)' (.*)$"));
        // A row's journal entries go first where they are statements of their own
        // (on a server): with its update, what a host attempted.
        static const QRegularExpression journal(QStringLiteral("^insert into BusiBudgetAdjLog .* from BusiBudgetAdj( where .*)$"));
        for (qsizetype i = FSeen; i < lines.size(); ++i) {
            QRegularExpressionMatch m = update.match(lines[i]);
            const bool attempt = !m.hasMatch();
            if (attempt)
                m = journal.match(lines[i]);
            if (!m.hasMatch())
                continue;
            Update u;
            if (!attempt)
                u.status = m.captured(1).at(0);
            // The key conditions without what the statement holds the row to (its
            // status, count and sum as loaded): every record of the key.
            QString where = m.captured(attempt ? 1 : 2);
            const qsizetype guard = where.indexOf(QLatin1String(" and status='"));
            if (guard >= 0)
                where.truncate(guard);
            QSqlQuery q(db.Handle());
            EXPECT_TRUE(q.exec(QStringLiteral("select BudgId from BusiBudgetAdj ") + where)) << qPrintable(lines[i]);
            while (q.next())
                u.records.insert(q.value(0).toLongLong());
            updates << u;
        }
        FSeen = lines.size();
        return updates;
    }

private:
    QString FFile;
    qsizetype FSeen = 0;
};

QMap<qlonglong, QChar> Statuses(const Db& db)
{
    QMap<qlonglong, QChar> all;
    QSqlQuery q(db.Handle());
    q.exec(QStringLiteral("select BudgId, status from BusiBudgetAdj where datayear=2024"));
    while (q.next())
        all.insert(q.value(0).toLongLong(), q.value(1).toString().at(0));
    return all;
}

// Runs the two hosts on the database the connection string names, checking it
// through db after every round.
void TwoHostsOverlapping(const QString& connection, const Db& db, const QTemporaryDir& dir)
{
    const QString traceA = dir.filePath(QStringLiteral("a.sql"));
    const QString traceB = dir.filePath(QStringLiteral("b.sql"));
    auto args = [&](const QString& trace) {
        return QStringList{QStringLiteral("--connection"), connection, QStringLiteral("--trace-sql"), trace,
                           QStringLiteral("--script"), QStringLiteral("-")};
    };
    Session a(args(traceA));
    Session b(args(traceB));
    // Both work on the whole first unit range, summed per key combination.
    const QString setup = QStringLiteral("open\nselect 101\nmode summary\n");
    a.Send(setup);
    b.Send(setup);
    ASSERT_FALSE(a.Failed() || b.Failed());

    TraceReader readA(traceA), readB(traceB);
    readA.Next(db);
    readB.Next(db);
    QMap<qlonglong, QChar> previous = Statuses(db);
    ASSERT_GT(previous.size(), 0);

    QElapsedTimer clock;
    clock.start();
    int rounds = 0, overlapping = 0;
    while (rounds < 3 || (clock.elapsed() < 8000 && rounds < 150)) {
        ++rounds;
        const QString rows = rounds % 2 ? QStringLiteral("0 1 2 3 4 5") : QStringLiteral("2 3 4 5 6 7");
        // Sent together; each host's statements run while the other's may.
        // (A run keeps the rows it did not write ticked: each round chooses anew.)
        a.Write(QStringLiteral("view unconfirmed\npress pmuClear\ntick ") + rows + QStringLiteral("\npress tbtnConfirm\n"));
        b.Write(QStringLiteral("view confirmed\npress pmuClear\ntick ") + rows + QStringLiteral("\nkey Ctrl+D\n"));
        const QString outA = a.Wait();
        const QString outB = b.Wait();
        ASSERT_FALSE(a.Failed()) << rounds << qPrintable(outA);
        ASSERT_FALSE(b.Failed()) << rounds << qPrintable(outB);

        QList<Update> byA = readA.Next(db), byB = readB.Next(db);
        // What the hosts attempted: where their rows met, whatever got written.
        QSet<qlonglong> triedA, triedB;
        for (const Update& u : std::as_const(byA))
            triedA += u.records;
        for (const Update& u : std::as_const(byB))
            triedB += u.records;
        overlapping += int(triedA.intersect(triedB).size());
        byA.removeIf([](const Update& u) { return u.status.isNull(); });
        byB.removeIf([](const Update& u) { return u.status.isNull(); });
        // A row whose records changed since it was loaded is not written: its
        // journal entries find nothing, and its update is not sent.
        ASSERT_LE(byA.size(), 6) << rounds;
        ASSERT_LE(byB.size(), 6) << rounds;
        const QMap<qlonglong, QChar> now = Statuses(db);
        ASSERT_EQ(now.keys(), previous.keys());
        QSet<qlonglong> touchedA, touchedB;
        for (const Update& u : byA)
            touchedA += u.records;
        for (const Update& u : byB)
            touchedB += u.records;
        // A record changes only by a statement of a host whose rows hold it, and
        // only to that host's status. A statement whose rows someone changed since
        // they were loaded writes nothing: records both touched may keep either.
        for (auto it = now.cbegin(); it != now.cend(); ++it) {
            if (it.value() == previous.value(it.key()))
                continue;
            const bool inA = touchedA.contains(it.key()), inB = touchedB.contains(it.key());
            EXPECT_TRUE(it.value() == QLatin1Char(inA && !inB ? '1' : inB && !inA ? '0' : it.value().toLatin1()))
                << "record " << it.key() << " round " << rounds;
            EXPECT_TRUE(inA || inB) << "record " << it.key() << " changed by no statement, round " << rounds;
        }
        previous = now;
    }
    EXPECT_GT(overlapping, 0) << "the workload never made the two hosts meet";

    // One last confirmation by one host alone: its records end confirmed.
    a.Send(QStringLiteral("view confirmed\nview unconfirmed\ntick 0\npress tbtnConfirm\n"));
    QList<Update> last = readA.Next(db);
    last.removeIf([](const Update& u) { return u.status.isNull(); });
    ASSERT_EQ(last.size(), 1);
    const QMap<qlonglong, QChar> final = Statuses(db);
    for (const qlonglong id : last[0].records)
        EXPECT_EQ(final.value(id), QLatin1Char('1')) << id;

    EXPECT_EQ(a.Finish().code, 0);
    EXPECT_EQ(b.Finish().code, 0);
    std::printf("concurrency (%s): %d rounds, %d records both hosts' rows reached, in %lld ms\n",
                qPrintable(db.Handle().driverName()), rounds, overlapping, static_cast<long long>(clock.elapsed()));
}

}  // namespace

TEST(Concurrency, TwoHostsConfirmingAndCancellingOverlappingRowsLoseNoWrite)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("shared.sqlite"));
    ASSERT_TRUE(CreateDemo(file, 2000));
    Db db(file);
    TwoHostsOverlapping(Sqlite(file), db, dir);
    EXPECT_EQ(db.Value(QStringLiteral("pragma integrity_check")).toString(), QStringLiteral("ok"));
}

TEST(Concurrency, TwoHostsOnOnePostgresDatabaseLoseNoWrite)
{
    pgtest::Database server;
    if (!server.Skip.empty())
        GTEST_SKIP() << server.Skip;
    QString error;
    ASSERT_TRUE(CreateDemoDatabaseAt(server.ConnectionString, 2000, &error)) << qPrintable(error);
    const ConnectionSettings cs = ParseConnectionString(server.ConnectionString);
    Db db(QStringLiteral("QPSQL"), [&](QSqlDatabase& d) {
        d.setHostName(cs.Value(QStringLiteral("Server")));
        d.setPort(cs.Value(QStringLiteral("Port")).toInt());
        d.setDatabaseName(cs.Value(QStringLiteral("Database")));
        d.setUserName(cs.Value(QStringLiteral("UID")));
    });
    ASSERT_TRUE(db.Handle().isOpen()) << qPrintable(db.Handle().lastError().text());
    QTemporaryDir dir;
    TwoHostsOverlapping(server.ConnectionString, db, dir);
}
