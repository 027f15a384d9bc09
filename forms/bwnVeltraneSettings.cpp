// What the confirmation window remembers for the user between sessions.
#include "forms/bwnVeltrane.h"
#include "toolkit/NextGrid.h"
#include <QMdiSubWindow>
#include <QSettings>
#include <QSplitter>

namespace {

QSettings Store()
{
    return QSettings(QStringLiteral("Veltrane"), QStringLiteral("bVeltrane"));
}

const char* ViewKey(int view) { return view == 1 ? "columns/detail" : "columns/summary"; }

}  // namespace

QHash<QString, int>& TbfrmVeltrane::ViewColumnWidths()
{
    return FColumnWidths[rbtnDetail && rbtnDetail->isChecked() ? 1 : 0];
}

void TbfrmVeltrane::RestoreSettings()
{
    QSettings s = Store();
    s.beginGroup(QStringLiteral("TbfrmVeltrane"));
    for (int view = 0; view < 2; ++view) {
        const QVariantMap widths = s.value(QLatin1String(ViewKey(view))).toMap();
        for (auto it = widths.cbegin(); it != widths.cend(); ++it) {
            bool ok = false;
            const int w = it.value().toInt(&ok);
            if (ok && w > 0 && w <= 4000)
                FColumnWidths[view].insert(it.key(), w);
        }
    }
    const QByteArray splitter = s.value(QStringLiteral("splitter")).toByteArray();
    if (!splitter.isEmpty())
        Splitter1->restoreState(splitter);
    if (s.contains(QStringLiteral("treePane")) && !s.value(QStringLiteral("treePane")).toBool() && !pnlLeft->isHidden())
        sbtnHindUTClick();
    const QRect geometry = s.value(QStringLiteral("geometry")).toRect();
    // A size that no longer fits (another screen) is not forced on the window.
    if (geometry.isValid() && geometry.width() >= 200 && geometry.height() >= 150 && geometry.width() <= 10000
        && geometry.height() <= 10000)
        SetBounds(qMax(0, geometry.left()), qMax(0, geometry.top()), geometry.width(), geometry.height());
    if (s.value(QStringLiteral("maximized")).toBool())
        SetWindowState(wsMaximized);
    s.endGroup();
}

void TbfrmVeltrane::SaveSettings()
{
    QSettings s = Store();
    s.beginGroup(QStringLiteral("TbfrmVeltrane"));
    if (QWidget* frame = Frame()) {
        const bool maximized = frame->isMaximized();
        s.setValue(QStringLiteral("maximized"), maximized);
        if (!maximized)
            s.setValue(QStringLiteral("geometry"), frame->geometry());
    }
    s.setValue(QStringLiteral("splitter"), Splitter1->saveState());
    s.setValue(QStringLiteral("treePane"), !pnlLeft->isHidden());
    for (int view = 0; view < 2; ++view) {
        QVariantMap widths;
        for (auto it = FColumnWidths[view].cbegin(); it != FColumnWidths[view].cend(); ++it)
            widths.insert(it.key(), it.value());
        s.setValue(QLatin1String(ViewKey(view)), widths);
    }
    s.endGroup();
}
