// What the confirmation window remembers for the user between sessions.
#include "forms/bwnVeltrane.h"
#include "records/untViewSettings.h"
#include <QRadioButton>
#include <QSettings>

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
}

void TbfrmVeltrane::RestoreSettings()
{
    QSettings s = ViewSettingsStore();
    DropUnknownKeys(s);
    s.beginGroup(QStringLiteral("TbfrmVeltrane"));
    RestoreSplitterState(s);
    if (s.contains(QStringLiteral("treePane")) && !s.value(QStringLiteral("treePane")).toBool() && !pnlLeft->isHidden())
        sbtnHindUTClick();
    RestoreFrameState(s);
    FSettingsRestored = true;
}

void TbfrmVeltrane::SaveSettings()
{
    if (!FSettingsRestored)
        return;   // never shown: nothing of the user's to keep
    QSettings s = ViewSettingsStore();
    s.beginGroup(QStringLiteral("TbfrmVeltrane"));
    SaveFrameState(s);
    SaveSplitterState(s);
    s.setValue(QStringLiteral("treePane"), !pnlLeft->isHidden());
    s.setValue(QStringLiteral("detail"), rbtnDetail->isChecked());
    s.setValue(QStringLiteral("allUnits"), rgpShowEid->ItemIndex() == 1);
    FViews.Write(s);
}
