#include "tests/tree/TreeTestData.h"
#include "toolkit/Threads.h"
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTreeWidgetItemIterator>
#include <QUuid>
#include <gtest/gtest.h>

namespace treetest {

QList<Unit> SampleUnits()
{
    // Written out of code order, so only the sort puts them right.
    return {
        {"002", "", "0", "乙"},
        {"001003", "001", "1", "丁"},
        {"001", "", "1", "甲"},
        {"001001", "001", "0", "丙"},
        {"001002001", "001002", "0", "戊"},
        {"001002", "001", "1", "己"},
    };
}

QString CreateUnitDatabase(const QString& folder, const QList<Unit>& units)
{
    const QString file = folder + QStringLiteral("/units.db");
    const QString name = QUuid::createUuid().toString();
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(file);
        EXPECT_TRUE(db.open());
        QSqlQuery q(db);
        EXPECT_TRUE(q.exec(QStringLiteral(
            "create table pubdept (eid text primary key, peid text, leafflag text, ename text,"
            " useflag text, replaceflag text)")));
        EXPECT_TRUE(q.exec(QStringLiteral("create index ix_pubdept_peid on pubdept(peid)")));
        db.transaction();
        q.prepare(QStringLiteral("insert into pubdept values (?, coalesce(?, ''), ?, ?, '0', '0')"));
        for (const Unit& u : units) {
            q.addBindValue(u.eid);
            q.addBindValue(u.peid);
            q.addBindValue(u.leafflag);
            q.addBindValue(u.ename);
            EXPECT_TRUE(q.exec()) << q.lastError().text().toStdString();
        }
        EXPECT_TRUE(q.exec(QStringLiteral("insert into pubdept values ('999999', '', '0', '停用', '1', '0')")));
        db.commit();
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    return file;
}

QString BaseQuery()
{
    return QStringLiteral("select eid,peid,leafflag,ename,eid||' '||ename as tname  from pubdept  where useflag='0'");
}

TreeFixture::TreeFixture(const QList<Unit>& units)
{
    path = CreateUnitDatabase(dir.path(), units);
    conn = std::make_unique<TADOConnection>();
    conn->SetConnectionString(QStringLiteral("Provider=SQLITE;Data Source=") + path);
    conn->Open();
    view = std::make_unique<TTreeView>();
    view->resize(300, 400);
    view->show();
    tree = std::make_unique<TDynamicTree>();
    auto counter = FQueries;
    TADOConnection::SetTraceHook([counter](const QString&) { counter->fetch_add(1); });
}

TreeFixture::~TreeFixture()
{
    tree.reset();
    WaitForWorkers();
    TADOConnection::SetTraceHook(nullptr);
    view.reset();
    conn.reset();
}

void TreeFixture::Configure(TDynamicTree& t)
{
    t.SetAdoConn(conn.get());
    t.SetSqlTable({BaseQuery()});
    t.SetFieldId(QStringLiteral("eid"));
    t.SetFieldPid(QStringLiteral("peid"));
    t.SetFieldIsLeaf(QStringLiteral("leafflag"));
    t.SetFieldCaption(QStringLiteral("ename"));
    t.SetFieldText(QStringLiteral("tname"));
    t.SetTopVirNodeIdValue(QString());
    t.SetValueIsLeaf(QStringLiteral("0"));
    t.SetTopVirNodeTitle(QStringLiteral("预算单位"));
    t.SetTreeView(view.get());
}

QStringList TreeFixture::Texts() const
{
    QStringList out;
    for (QTreeWidgetItemIterator it(view.get()); *it; ++it) {
        int level = 0;
        for (QTreeWidgetItem* p = (*it)->parent(); p; p = p->parent())
            ++level;
        out << QString(level, QLatin1Char(' ')) + (*it)->text(0);
    }
    return out;
}

bool TreeFixture::WaitForWorkers(int ms)
{
    QElapsedTimer t;
    t.start();
    while (TThread::LiveCount() > 0 && t.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    QCoreApplication::processEvents();
    return TThread::LiveCount() == 0;
}

TNodeItem* FindById(TTreeView* view, const QString& id)
{
    for (QTreeWidgetItemIterator it(view); *it; ++it)
        if ((*it)->data(0, Qt::UserRole).toString() == id)
            return static_cast<TNodeItem*>(*it);
    return nullptr;
}

}  // namespace treetest
