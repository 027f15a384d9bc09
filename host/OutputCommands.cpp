// Script commands that write the record grid out: an Excel or CSV file, or a
// PDF print. The window does the work, reached by the interface it declares
// for the host.
#include "host/HostSession.h"
#include "host/ScriptRunner.h"
#include "plugin/untIVeltraneWindow.h"
#include <QFileInfo>

namespace {

// An output of the active window to a file: its failure is the command's error.
bool WriteOut(HostSession& s, const QString& command, const QString& file, QString& error,
              TResult<> (IVeltraneWindow::*output)(const QString&))
{
    IVeltraneWindow* w = s.ActiveVeltraneWindow(command, error);
    if (!w)
        return false;
    const TResult<> done = (w->*output)(file);
    if (!done)
        error = done.Error().Message;
    return done.Ok();
}

}  // namespace

void RegisterOutputCommands(ScriptRunner& runner)
{
    HostSession& s = runner.Session();
    runner.AddCommand(QStringLiteral("export"), QStringLiteral("export FILE"), [&s](const QStringList&, const QString& rest, QString& error) {
        if (rest.isEmpty()) {
            error = QStringLiteral("用法：export FILE（.xlsx 或 .csv）");
            return false;
        }
        return WriteOut(s, QStringLiteral("export"), rest, error, &IVeltraneWindow::ExportGrid);
    });
    runner.AddCommand(QStringLiteral("print"), QStringLiteral("print FILE.pdf"), [&s](const QStringList&, const QString& rest, QString& error) {
        if (rest.isEmpty() || QFileInfo(rest).suffix().compare(QLatin1String("pdf"), Qt::CaseInsensitive) != 0) {
            error = QStringLiteral("用法：print FILE.pdf");
            return false;
        }
        return WriteOut(s, QStringLiteral("print"), rest, error, &IVeltraneWindow::PrintGridToPdf);
    });
}
