// Faults around the real host: a database held by another writer, a database
// file that goes away or turns to junk between two loads.
#include "tests/host/ModuleHost.h"
#include <gtest/gtest.h>
#include <QCoreApplication>
#include <QEvent>
#include <QRegularExpression>
#include <QTemporaryDir>

using namespace hostproc;

namespace {

QStringList GridRows(const QString& out)
{
    return out.split(QLatin1Char('\n'), Qt::SkipEmptyParts).filter(QRegularExpression(QStringLiteral("^\\[[ x]\\]\\t\\d")));
}

}  // namespace

TEST(Faults, ConfirmWhileAnotherProcessHoldsTheWriteLockIsPassedOverAfterTheBusyTimeout)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("locked.sqlite"));
    ASSERT_TRUE(CreateDemo(file));
    Db lock(file);
    const QStringList before = lock.Statuses();
    const QString confirmed = QStringLiteral("sql select count(*) from BusiBudgetAdj where status='1'\n");

    // An open write transaction of this process, with a change of its own in it.
    ASSERT_TRUE(lock.Exec(QStringLiteral("begin immediate")));
    ASSERT_TRUE(lock.Exec(QStringLiteral("update BusiBudgetAdj set filename='held' where BudgId=1")));
    QElapsedTimer t;
    t.start();
    const Result held = Script(file, confirmed + QStringLiteral("open\nmode detail\nview unconfirmed\ngrid\ntick 0\npress tbtnConfirm\ngrid\n") + confirmed);
    const qint64 waited = t.elapsed();
    ASSERT_EQ(held.code, 0) << qPrintable(held.err);
    // Readers are not blocked; the one update waited for the timeout and was dropped.
    EXPECT_GE(waited, 4500);
    const QStringList lines = held.lines();
    EXPECT_EQ(lines.first(), lines.at(lines.size() - 2)) << qPrintable(held.out);
    const QStringList rows = GridRows(held.out);
    ASSERT_GE(rows.size(), 2);
    // The reload after the failed update lists the same records again, the one
    // not written still ticked.
    QStringList again = rows.mid(rows.size() / 2);
    ASSERT_FALSE(again.isEmpty());
    EXPECT_TRUE(again[0].startsWith(QStringLiteral("[x]"))) << qPrintable(held.out);
    again[0].replace(0, 3, QStringLiteral("[ ]"));
    EXPECT_EQ(rows.mid(0, rows.size() / 2), again) << qPrintable(held.out);
    ASSERT_TRUE(lock.Exec(QStringLiteral("rollback")));
    EXPECT_EQ(lock.Statuses(), before);
    EXPECT_EQ(lock.Value(QStringLiteral("select count(*) from BusiBudgetAdj where filename='held'")).toInt(), 0);

    // Once the lock is gone the same confirmation goes through: one record changes.
    const Result free = Script(file, QStringLiteral("open\nmode detail\nview unconfirmed\ntick 0\npress tbtnConfirm\n"));
    ASSERT_EQ(free.code, 0) << qPrintable(free.err);
    const QStringList after = lock.Statuses();
    ASSERT_EQ(after.size(), before.size());
    int changed = 0;
    for (qsizetype i = 0; i < after.size(); ++i)
        changed += after[i] != before[i];
    EXPECT_EQ(changed, 1);
}

TEST(Faults, DatabaseDeletedOrOverwrittenBetweenLoadsLeavesTheHostWorking)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("vanishing.sqlite"));
    ASSERT_TRUE(CreateDemo(file));
    const QStringList args{QStringLiteral("--connection"), Sqlite(file), QStringLiteral("--script"), QStringLiteral("-")};

    {
        Session host(args);
        const QString first = host.Send(QStringLiteral("open\nmode detail\ngrid\n"));
        ASSERT_FALSE(host.Failed());
        const int shown = int(GridRows(first).size());
        ASSERT_GT(shown, 0) << qPrintable(first);
        // The open connection keeps the removed file: the next load still reads it.
        for (const QString& suffix : {QString(), QStringLiteral("-wal"), QStringLiteral("-shm")})
            QFile::remove(file + suffix);
        const QString again = host.Send(QStringLiteral("view confirmed\nview unconfirmed\ngrid\nbuttons\n"));
        ASSERT_FALSE(host.Failed()) << qPrintable(again);
        EXPECT_EQ(int(GridRows(again).size()), shown) << qPrintable(again);
        const Result end = host.Finish();
        EXPECT_EQ(end.code, 0) << qPrintable(end.err);
    }

    ASSERT_TRUE(CreateDemo(file));
    {
        Session host(args);
        const QString first = host.Send(QStringLiteral("open\nmode detail\ngrid\n"));
        ASSERT_FALSE(host.Failed());
        ASSERT_GT(GridRows(first).size(), 0);
        // Junk written over the file in place: the next load fails, the grid is
        // empty, the buttons are off, and the host goes on.
        for (const QString& suffix : {QString(), QStringLiteral("-wal"), QStringLiteral("-shm")}) {
            QFile f(file + suffix);
            if (f.exists() && f.open(QIODevice::ReadWrite)) {
                const qint64 size = f.size();
                f.write(QByteArray(size, '\x5a'));
            }
        }
        const QString again = host.Send(QStringLiteral("view confirmed\ngrid\nbuttons\necho alive\n"));
        ASSERT_FALSE(host.Failed()) << qPrintable(again);
        EXPECT_TRUE(GridRows(again).isEmpty()) << qPrintable(again);
        EXPECT_TRUE(again.contains(QStringLiteral("tbtnConfirm disabled\ntbtnCancel disabled\n"))) << qPrintable(again);
        EXPECT_TRUE(again.contains(QStringLiteral("alive")));
        const Result end = host.Finish();
        EXPECT_NE(end.code, -1) << qPrintable(end.err);
    }
}

namespace {

void FreeClosedWindows()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
}

}  // namespace

TEST(Faults, ModuleUnloadedWithNoWindowOpenAndLoadedAgainOpensItsWindowAsBefore)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("reload.sqlite"));
    ASSERT_TRUE(CreateDemo(file));
    ModuleHost host(file);
    for (int load = 1; load <= 2; ++load) {
        ASSERT_TRUE(host.Load()) << qPrintable(host.module.errorString());
        EXPECT_EQ(host.Show("TbfrmVeltrane"), 0);
        const QList<TForm*> open = host.Windows();
        ASSERT_EQ(open.size(), 1) << load;
        EXPECT_EQ(open[0]->Caption(), QStringLiteral("支付范围划分确认"));
        EXPECT_TRUE(host.messages.isEmpty()) << qPrintable(host.messages.join('\n'));
        open[0]->Close();
        FreeClosedWindows();
        EXPECT_TRUE(host.Windows().isEmpty()) << load;
        EXPECT_EQ(host.manager.released, QList<std::uint32_t>(load, 77u));
        ASSERT_TRUE(host.module.unload()) << qPrintable(host.module.errorString());
    }
}
