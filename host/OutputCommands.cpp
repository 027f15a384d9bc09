// Script commands that write the record grid out: an Excel or CSV file, or a
// PDF print. The window does the work; the host reaches it by name only, as it
// cannot link the module's classes.
#include "host/HostSession.h"
#include "host/ScriptRunner.h"
#include <QMainWindow>
#include <QMdiSubWindow>
#include <QMenu>
#include "toolkit/Forms.h"
#include <QFileInfo>
#include <QMetaObject>

namespace {

// Calls a window method that takes a file name and answers with an error text.
bool CallWithFile(HostSession& s, const char* method, const QString& file, QString& error)
{
    TForm* f = s.ActiveModuleWindow();
    if (!f) {
        error = QStringLiteral("没有打开的模块窗口");
        return false;
    }
    QString failure;
    if (!QMetaObject::invokeMethod(f, method, Qt::DirectConnection, Q_RETURN_ARG(QString, failure),
                                   Q_ARG(QString, file))) {
        error = QStringLiteral("窗口 %1 不支持 %2").arg(f->ClassName(), QString::fromLatin1(method));
        return false;
    }
    if (!failure.isEmpty()) {
        error = failure;
        return false;
    }
    return true;
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
        return CallWithFile(s, "ExportGrid", rest, error);
    });
    runner.AddCommand(QStringLiteral("print"), QStringLiteral("print FILE.pdf"), [&s](const QStringList&, const QString& rest, QString& error) {
        if (rest.isEmpty() || QFileInfo(rest).suffix().compare(QLatin1String("pdf"), Qt::CaseInsensitive) != 0) {
            error = QStringLiteral("用法：print FILE.pdf");
            return false;
        }
        return CallWithFile(s, "PrintGridToPdf", rest, error);
    });
}
