#pragma once
// What the window benchmarks share: a host of the module in the same process (main
// window, application, records, the "Def" connection on a SQLite file) and the
// window opened through the plug-in entry as the host does.
#include "bench/BenchStats.h"
#include "data/untDbManager.h"
#include "data/untDemoData.h"
#include "data/untHostRecords.h"
#include "forms/bwnVeltrane.h"
#include "plugin/untGlobals.h"
#include "plugin/untPlugIn.h"
#include "plugin/untResRefManager.h"
#include "toolkit/Forms.h"
#include <QApplication>
#include <QElapsedTimer>
#include <QMainWindow>
#include <QMdiArea>
#include <algorithm>
#include <vector>

namespace benchhost {

using benchstats::Median;

struct Host {
    explicit Host(const QString& path)
    {
        window.setCentralWidget(area);
        window.resize(1024, 768);
        app.SetMainWindow(&window);
        // Yes to every question: a run of many records asks first.
        app.OnMessageBox = [](const QString&, const QString&, int) { return IDYES; };
        screen.SetSize(1024, 768);
        db.ConnectionString = QStringLiteral("Provider=SQLite;Data Source=") + path;
        unit.SetField(0, QString::fromLatin1(DemoDefaultUnit));
        unit.SetField(4, QString::fromLatin1(DemoDefaultDeptClass));
        user.SetField(7, QString::fromLatin1(DemoDefaultOffice));
        params.OfficeColumns = "0";
        params.DefaultBType = 1;
        pub.DataYear = DemoDefaultYear;
        pub.DbManager = &db;
        pub.UserRecord = &user;
        pub.SysParams = &params;
        pub.UnitRecord = &unit;
        info.InfoText1 = info.InfoText2 = info.InfoText3 = "";
        context.PubVariables = &pub;
        context.PlugInInfo = &info;
        context.Application = &app;
        context.Screen = &screen;
        window.show();
    }
    TDbManager db;
    QMainWindow window;
    QMdiArea* area = new QMdiArea;
    TApplication app;
    TScreen screen;
    THostRecord unit{18};
    THostRecord user{8};
    TSysParams params{};
    TPubVariables pub{};
    TPlugInInfo info{};
    TPlugInContext context{};
};

// Opens the window and waits for its first records; ms: how long that took.
// Until the window's work (a load, a run, an output) has ended.
inline void WaitIdle(TbfrmVeltrane* w)
{
    // Sleeps until an event comes: the end of a worker's body always posts one.
    while (w->Busy())
        QApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    QApplication::processEvents();
}

inline TbfrmVeltrane* OpenWindow(Host& host, double* ms)
{
    QElapsedTimer t;
    t.start();
    ShowPlugInWindowBody("TbfrmVeltrane", &host.context);
    auto* w = qobject_cast<TbfrmVeltrane*>(ResRefManager->LookupResource(QStringLiteral("TbfrmVeltrane")));
    if (w)
        WaitIdle(w);   // the records are in the grid
    if (ms)
        *ms = double(t.nsecsElapsed()) / 1e6;
    return w;
}

inline void CloseWindow(TbfrmVeltrane* w)
{
    if (w)
        w->Free();
    QApplication::processEvents();
}

// A window's control by its object name, as a script reaches it.
template <class T>
T* ctl(const TForm* f, const char* name)
{
    T* c = f->FindControl<T>(QLatin1String(name));
    if (!c)
        qFatal("no control %s", name);
    return c;
}

}  // namespace benchhost
