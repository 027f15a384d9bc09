// Script commands on the organisation tree that go through the window's own
// operations, by the interface it declares for the host.
#include "host/HostSession.h"
#include "host/ScriptRunner.h"
#include "plugin/untIVeltraneWindow.h"

void RegisterTreeCommands(ScriptRunner& runner)
{
    HostSession& s = runner.Session();
    runner.AddCommand(QStringLiteral("find"), QStringLiteral("find TEXT"), [&s](const QStringList&, const QString& rest, QString& error) {
        if (rest.isEmpty()) {
            error = QStringLiteral("用法：find TEXT");
            return false;
        }
        IVeltraneWindow* w = s.ActiveVeltraneWindow(QStringLiteral("find"), error);
        if (!w)
            return false;
        const TResult<QString> found = w->FindUnit(rest, false);
        if (!found) {
            error = found.Error().Message;
            return false;
        }
        const QString& eid = found.Value();
        ScriptRunner::Print(QStringLiteral("unit %1").arg(eid.isEmpty() ? QStringLiteral("none") : eid));
        return true;
    });
}
