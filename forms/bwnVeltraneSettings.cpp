// What the confirmation window remembers for the user between sessions.
#include "forms/bwnVeltrane.h"
#include "records/untViewSettings.h"
#include "toolkit/NextGrid.h"
#include <QMdiSubWindow>
#include <QSettings>
#include <QSplitter>
#include "plugin/untGlobals.h"
#include "toolkit/Forms.h"

int TbfrmVeltrane::ViewIndex() const { return rbtnDetail && rbtnDetail->isChecked() ? 1 : 0; }

void TbfrmVeltrane::RestoreViewChoice()
{
    QSettings s = ViewSettingsStore();
    s.beginGroup(QStringLiteral("TbfrmVeltrane"));
    // Set quietly: the load that follows is the window's first and only one.
    if (s.value(QStringLiteral("detail")).toBool() && rbtnDetail && !rbtnDetail->isHidden()) {
        const QSignalBlocker a(rbtnDetail), b(rbtnSum);
        rbtnDetail->setChecked(true);
    }
    if (s.value(QStringLiteral("allUnits")).toBool() && rgpShowEid && !rgpShowEid->isHidden()) {
        const QSignalBlocker quiet(rgpShowEid);
        rgpShowEid->SetItemIndex(1);
    }
    FViews.Read(s);
    s.endGroup();
}

void TbfrmVeltrane::RestoreSettings()
{
    QSettings s = ViewSettingsStore();
    DropUnknownKeys(s);
    s.beginGroup(QStringLiteral("TbfrmVeltrane"));
    const QByteArray splitter = s.value(QStringLiteral("splitter")).toByteArray();
    if (!splitter.isEmpty())
        Splitter1->restoreState(splitter);
    if (s.contains(QStringLiteral("treePane")) && !s.value(QStringLiteral("treePane")).toBool() && !pnlLeft->isHidden())
        sbtnHindUTClick();
    QRect geometry = s.value(QStringLiteral("geometry")).toRect();
    // Within the room there is now (another screen, a smaller main window): no
    // larger than it, and wholly on it.
    const QSize space = Screen && Screen->Width() > 0 ? QSize(Screen->Width(), Screen->Height()) : QSize(1024, 768);
    if (geometry.isValid() && geometry.width() >= 200 && geometry.height() >= 150) {
        geometry.setSize(geometry.size().boundedTo(space));
        geometry.moveLeft(qBound(0, geometry.left(), qMax(0, space.width() - geometry.width())));
        geometry.moveTop(qBound(0, geometry.top(), qMax(0, space.height() - geometry.height())));
        SetBounds(geometry.left(), geometry.top(), geometry.width(), geometry.height());
    }
    if (s.value(QStringLiteral("maximized")).toBool())
        SetWindowState(wsMaximized);
    s.endGroup();
    FSettingsRestored = true;
}

void TbfrmVeltrane::SaveSettings()
{
    if (!FSettingsRestored)
        return;   // never shown: nothing of the user's to keep
    QSettings s = ViewSettingsStore();
    s.beginGroup(QStringLiteral("TbfrmVeltrane"));
    if (QWidget* frame = Frame()) {
        const bool maximized = frame->isMaximized();
        s.setValue(QStringLiteral("maximized"), maximized);
        if (!maximized)
            s.setValue(QStringLiteral("geometry"), frame->geometry());
    }
    s.setValue(QStringLiteral("splitter"), Splitter1->saveState());
    s.setValue(QStringLiteral("treePane"), !pnlLeft->isHidden());
    s.setValue(QStringLiteral("detail"), rbtnDetail->isChecked());
    s.setValue(QStringLiteral("allUnits"), rgpShowEid->ItemIndex() == 1);
    FViews.Write(s);
    s.endGroup();
}
