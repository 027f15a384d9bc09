// Script commands that write the record grid out: an Excel or CSV file, or a
// PDF print. The window does the work, reached by the interface it declares
// for the host.
#include "host/HostSession.h"
#include "host/ScriptRunner.h"
#include "plugin/untIVeltraneWindow.h"
#include <QFileInfo>

namespace {

// An output of the active window to a file: its failure, when it has ended, is
// the command's error.
bool WriteOut(ScriptRunner& runner, const QString& command, const QString& file, QString& error,
              void (IVeltraneWindow::*output)(const QString&, IVeltraneWindow::TDone<>))
{
    IVeltraneWindow* w = runner.Session().ActiveVeltraneWindow(command, error);
    if (!w)
        return false;
    (w->*output)(file, [end = runner.LineEnd()](const TResult<> done) { end(done.Error().Message); });
    return true;
}

}  // namespace

void RegisterOutputCommands(ScriptRunner& runner)
{
    runner.AddCommand(QStringLiteral("export"), QStringLiteral("export FILE"), [&runner](const QStringList&, const QString& rest, QString& error) {
        if (rest.isEmpty()) {
            error = QStringLiteral("用法：export FILE（.xlsx 或 .csv）");
            return false;
        }
        return WriteOut(runner, QStringLiteral("export"), rest, error, &IVeltraneWindow::ExportGrid);
    });
    runner.AddCommand(QStringLiteral("print"), QStringLiteral("print FILE.pdf"), [&runner](const QStringList&, const QString& rest, QString& error) {
        if (rest.isEmpty() || QFileInfo(rest).suffix().compare(QLatin1String("pdf"), Qt::CaseInsensitive) != 0) {
            error = QStringLiteral("用法：print FILE.pdf");
            return false;
        }
        return WriteOut(runner, QStringLiteral("print"), rest, error, &IVeltraneWindow::PrintGridToPdf);
    });
}
