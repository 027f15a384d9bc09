// Script commands on the organisation tree that go through the window's own
// operations: the host cannot link the module's classes, so it calls them by name.
#include "host/HostSession.h"
#include "host/ScriptRunner.h"
#include "toolkit/Forms.h"
#include <QMetaObject>

void RegisterTreeCommands(ScriptRunner& runner)
{
    HostSession& s = runner.Session();
    runner.AddCommand(QStringLiteral("find"), QStringLiteral("find TEXT"), [&s](const QStringList&, const QString& rest, QString& error) {
        if (rest.isEmpty()) {
            error = QStringLiteral("用法：find TEXT");
            return false;
        }
        TForm* f = s.ActiveModuleWindow();
        if (!f) {
            error = QStringLiteral("没有打开的模块窗口");
            return false;
        }
        QString eid;
        if (!QMetaObject::invokeMethod(f, "FindUnit", Qt::DirectConnection, Q_RETURN_ARG(QString, eid),
                                       Q_ARG(QString, rest), Q_ARG(bool, false))) {
            error = QStringLiteral("窗口 %1 不能查找单位").arg(QString::fromLatin1(f->metaObject()->className()));
            return false;
        }
        ScriptRunner::Print(QStringLiteral("unit %1").arg(eid.isEmpty() ? QStringLiteral("none") : eid));
        return true;
    });
}
