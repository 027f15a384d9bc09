#pragma once
#include <QSettings>
// A host for the window tests: a real main window with its MDI area, host records
// the windows are handed as the module's context (read again at each action, as
// the module reads the host's), the module's application and screen objects, and
// a "Def" connection on a SQLite file in a temporary folder. Every statement sent
// and every message box is recorded.
#include "data/untDbManager.h"
#include "data/untDefData.h"
#include "data/untDemoData.h"
#include "data/untHostRecords.h"
#include "plugin/untGlobals.h"
#include "tests/DefConnectionScope.h"
#include "toolkit/ADODB.h"
#include "toolkit/Forms.h"
#include "forms/bwnVeltrane.h"
#include "plugin/untObjectFactory.h"
#include "toolkit/ComCtrls.h"
#include "toolkit/NextGrid.h"
#include "tree/untDynamicTree.h"
#include <gtest/gtest.h>
#include <QApplication>
#include <QMainWindow>
#include <QMdiArea>
#include <QTemporaryDir>
#include <QTreeWidgetItemIterator>
#include <QMutex>
#include <QThread>
#include <QPointer>
#include <memory>
#include <optional>

namespace windowtest {

struct Message {
    QString text, caption;
    int flags;
};

class HostFixture {
public:
    // records < 0: an empty schema; otherwise the demo database with that many records.
    explicit HostFixture(int records = -1)
    {
        // Each test's windows start as a new user's: nothing remembered from another test.
        QSettings(QStringLiteral("Veltrane"), QStringLiteral("bVeltrane")).clear();
        EXPECT_TRUE(dir.isValid());
        path = dir.filePath(QStringLiteral("veltrane.db"));
        QString error;
        const bool ok = records < 0 ? CreateSchema(path, &error) : CreateDemoDatabase(path, records, &error);
        EXPECT_TRUE(ok) << error.toStdString();

        window.setCentralWidget(area);
        window.resize(1024, 768);
        app.SetMainWindow(&window);
        app.OnMessageBox = [this](const QString& text, const QString& caption, int flags) {
            messages.push_back({text, caption, flags});
            return answer;
        };
        screen.SetSize(1024, 768);

        db.ConnectionString = QStringLiteral("Provider=SQLite;Data Source=") + path;
        unit.SetField(0, QString::fromLatin1(DemoDefaultUnit));
        unit.SetField(4, QString::fromLatin1(DemoDefaultDeptClass));
        unit.SetField(17, QVariant());
        user.SetField(7, QString::fromLatin1(DemoDefaultOffice));
        SetOfficeColumns("1");
        params.AskBeforeDelete = "0";
        params.ReportDelete = "0";
        params.FinanceOfficeFlag = "0";
        params.DefaultBType = 1;
        params.OfficeFilter = 0;
        pub.DataYear = DemoDefaultYear;
        pub.DbManager = &db;
        pub.UserRecord = &user;
        pub.SysParams = &params;
        pub.UnitRecord = &unit;

        def.emplace(db);
        savedApp = Application;
        savedScreen = Screen;
        Application = &app;
        Screen = &screen;
        window.show();
        // Statements come from the window's workers as well.
        TADOConnection::SetTraceHook([this](const QString& sql) {
            QMutexLocker l(&sentLock);
            sent.append(sql);
            if (QThread::currentThread() == qApp->thread())
                sentHere.append(sql);
        });
    }

    ~HostFixture()
    {
        TADOConnection::SetTraceHook({});
        Application = savedApp;
        Screen = savedScreen;
    }

    void SetOfficeColumns(const char* value) { params.OfficeColumns = value; }

    // What the module reads of the host's records now, and the source that reads them again.
    TModuleContext Context() const { return ReadModuleContext(&pub); }
    TModuleContextSource ContextSource() const { return ModuleContextSource(&pub); }

    // Runs a statement of the test's own on the "Def" connection.
    void Exec(const QString& sql)
    {
        ExecSQL(DefConnection(), sql);
    }

    // The first column of the first row of a query, as text.
    QString Scalar(const QString& sql)
    {
        IARQueryRef q;
        OpenQuery(DefConnection(), sql, q);
        q->GetQuery()->First();
        return q->GetQuery()->Eof() ? QString() : q->GetQuery()->FieldValue(0).toString();
    }

    void ClearSent()
    {
        QMutexLocker l(&sentLock);
        sent.clear();
        sentHere.clear();
    }

    // Statements sent since the last call that match a prefix (case ignored).
    QStringList Sent(const QString& prefix)
    {
        QMutexLocker l(&sentLock);
        QStringList out;
        for (const QString& s : std::as_const(sent))
            if (s.trimmed().startsWith(prefix, Qt::CaseInsensitive))
                out.append(s);
        return out;
    }

    // Declared so that the windows (owned by app) go before the database and the
    // main window they live in.
    QTemporaryDir dir;
    QString path;
    TDbManager db;
    QMainWindow window;
    QMdiArea* area = new QMdiArea;
    TApplication app;
    TScreen screen;
    THostRecord unit{18};
    THostRecord user{8};
    TSysParams params{};
    TPubVariables pub{};
    std::vector<Message> messages;
    int answer = IDOK;
    QStringList sent;
    QStringList sentHere;   // of those, the ones sent on the interface thread
    QMutex sentLock;
    std::optional<testsupport::DefConnectionScope> def;

private:
    TApplication* savedApp = nullptr;
    TScreen* savedScreen = nullptr;
};

inline void Spin(int rounds = 5)
{
    for (int i = 0; i < rounds; ++i)
        QApplication::processEvents();
}

// A window's control by its object name, as a script reaches it; a missing one
// fails the test.
template <class T>
T* ctl(const TForm* f, const char* name)
{
    T* c = f ? f->FindControl<T>(QLatin1String(name)) : nullptr;
    if (!c)
        ADD_FAILURE() << "no control " << name;
    return c;
}

// Until the window's work (a load, a run, an output) has ended, or the window has gone.
inline void WaitIdle(TbfrmVeltrane* window)
{
    QPointer<TbfrmVeltrane> w(window);
    // Sleeps until an event comes: the end of a worker's body always posts one.
    while (w && w->Busy())
        QApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    if (w)
        QApplication::processEvents();
}

// The confirmation window made through the object factory as the module makes it,
// shown, and freed at the end; with readers of its grid and a tree click.
struct Window {
    explicit Window(HostFixture& h) : host(h)
    {
        TComponent* c = TObjectFactory::CreateComponent(&h.app, &TbfrmVeltrane::staticMetaObject, [&h](TComponent* made) {
            qobject_cast<TbfrmVeltrane*>(made)->SetModuleContext(h.Context(), h.ContextSource());
        });
        w = qobject_cast<TbfrmVeltrane*>(c);
        EXPECT_NE(w, nullptr);
        w->Show();
        Spin();
        idle();
    }
    // Until the window's work (a load, a run of statements) has ended.
    void idle()
    {
        WaitIdle(w);
    }
    ~Window()
    {
        if (w)
            w->Free();
    }
    TbfrmVeltrane* operator->() const { return w.data(); }
    TNextGrid* grid() const { return ctl<TNextGrid>(w, "ngdBudgetAdj"); }
    TTreeView* tree() const { return ctl<TTreeView>(w, "trvList"); }
    int rows() const { return grid()->RowCount(); }
    int col(const char* name) const { return grid()->Columns().FindByName(QLatin1String(name)); }
    QString cell(const char* name, int row) const { return grid()->Cells(col(name), row); }
    int reloads() { return int(host.Sent(QStringLiteral("select 0 as chk")).size()); }
    // Selects the tree node of that unit code as a click does.
    void select(const QString& eid)
    {
        for (QTreeWidgetItemIterator it(tree()); *it; ++it) {
            auto* n = static_cast<TTreeNode*>(*it);
            auto* info = static_cast<TItemInfo*>(n->Data());
            if (info && info->Id == eid && info->Kind == 1) {
                tree()->SetSelected(n);
                idle();
                return;
            }
        }
        ADD_FAILURE() << "no node " << eid.toStdString();
    }
    HostFixture& host;
    QPointer<TbfrmVeltrane> w;
};

template <class T>
T* ctl(const Window& win, const char* name)
{
    return ctl<T>(win.w.data(), name);
}

}  // namespace windowtest
