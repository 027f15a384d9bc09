// Script commands on the organisation tree that go through the window's own
// operations, by the interface it declares for the host.
#include "host/HostSession.h"
#include "host/ScriptRunner.h"
#include "plugin/untIVeltraneWindow.h"
#include "toolkit/Forms.h"
#include <QEventLoop>
#include <QPointer>
#include <optional>

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
        // The window answers on a later turn of the event loop: the host waits in
        // a loop of its own, also for the window to go.
        QPointer<QObject> form = s.ActiveModuleWindow();
        std::optional<TResult<QString>> answer;
        QEventLoop wait;
        QObject::connect(form, &QObject::destroyed, &wait, &QEventLoop::quit);
        w->FindUnit(rest, false, [&answer, &wait](TResult<QString> r) {
            answer = std::move(r);
            wait.quit();
        });
        if (!answer && form)
            wait.exec();
        if (!answer) {
            error = QStringLiteral("窗口已关闭，查找没有完成");
            return false;
        }
        const TResult<QString>& found = *answer;
        if (!found) {
            error = found.Error().Message;
            return false;
        }
        const QString& eid = found.Value();
        ScriptRunner::Print(QStringLiteral("unit %1").arg(eid.isEmpty() ? QStringLiteral("none") : eid));
        return true;
    });
}
