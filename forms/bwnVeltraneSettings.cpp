// What the confirmation window remembers for the user between sessions.
#include "forms/bwnVeltrane.h"
#include "toolkit/NextGrid.h"
#include <QMdiSubWindow>
#include <QSettings>
#include <QSplitter>
#include "plugin/untGlobals.h"
#include "toolkit/Forms.h"

namespace {

QSettings Store()
{
    return QSettings(QStringLiteral("Veltrane"), QStringLiteral("bVeltrane"));
}

const char* ViewKey(int view) { return view == 1 ? "columns/detail" : "columns/summary"; }

}  // namespace

QHash<QString, int>& TbfrmVeltrane::ViewColumnWidths() { return FColumnWidths[ViewIndex()]; }

int TbfrmVeltrane::ViewIndex() const { return rbtnDetail && rbtnDetail->isChecked() ? 1 : 0; }

void TbfrmVeltrane::ApplySort()
{
    const TViewSort& sort = FSort[ViewIndex()];
    const int col = sort.Column.isEmpty() ? -1 : ngdBudgetAdj->Columns().FindByName(sort.Column);
    if (col >= 0 && ngdBudgetAdj->RowCount() > 0)
        ngdBudgetAdj->SortByColumn(col, sort.Ascending);
}

namespace {

// What the window keeps, each at most this large: anything else in its file (an
// older version's key, a damaged or planted value) goes, instead of being read
// and written back at every start and close.
const QStringList KnownKeys{QStringLiteral("TbfrmVeltrane/columns/detail"), QStringLiteral("TbfrmVeltrane/columns/summary"),
                            QStringLiteral("TbfrmVeltrane/sort/detail"),    QStringLiteral("TbfrmVeltrane/sort/summary"),
                            QStringLiteral("TbfrmVeltrane/detail"),         QStringLiteral("TbfrmVeltrane/allUnits"),
                            QStringLiteral("TbfrmVeltrane/splitter"),       QStringLiteral("TbfrmVeltrane/treePane"),
                            QStringLiteral("TbfrmVeltrane/geometry"),       QStringLiteral("TbfrmVeltrane/maximized")};
constexpr int MaxValueBytes = 64 * 1024;

int ValueSize(const QVariant& v)
{
    if (v.typeId() == QMetaType::QVariantMap) {
        int n = 0;
        const QVariantMap map = v.toMap();
        for (auto it = map.cbegin(); it != map.cend(); ++it)
            n += int(it.key().size()) + ValueSize(it.value());
        return n;
    }
    if (v.typeId() == QMetaType::QByteArray)
        return int(v.toByteArray().size());
    return int(v.toString().size());
}

void DropUnknownKeys(QSettings& s)
{
    for (const QString& key : s.allKeys())
        if (!KnownKeys.contains(key) || ValueSize(s.value(key)) > MaxValueBytes)
            s.remove(key);
}

const char* SortKey(int view) { return view == 1 ? "sort/detail" : "sort/summary"; }

}  // namespace

void TbfrmVeltrane::RestoreViewChoice()
{
    QSettings s = Store();
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
    for (int view = 0; view < 2; ++view) {
        const QStringList sort = s.value(QLatin1String(SortKey(view))).toString().split(QLatin1Char(' '));
        if (sort.size() == 2 && !sort[0].isEmpty() && sort[0].size() <= 64)
            FSort[view] = {sort[0], sort[1] != QLatin1String("desc")};
    }
    s.endGroup();
}

void TbfrmVeltrane::RestoreSettings()
{
    QSettings s = Store();
    DropUnknownKeys(s);
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
    s.setValue(QStringLiteral("detail"), rbtnDetail->isChecked());
    s.setValue(QStringLiteral("allUnits"), rgpShowEid->ItemIndex() == 1);
    for (int view = 0; view < 2; ++view) {
        if (FSort[view].Column.isEmpty())
            s.remove(QLatin1String(SortKey(view)));
        else
            s.setValue(QLatin1String(SortKey(view)),
                       FSort[view].Column + (FSort[view].Ascending ? QStringLiteral(" asc") : QStringLiteral(" desc")));
    }
    for (int view = 0; view < 2; ++view) {
        QVariantMap widths;
        for (auto it = FColumnWidths[view].cbegin(); it != FColumnWidths[view].cend(); ++it)
            widths.insert(it.key(), it.value());
        s.setValue(QLatin1String(ViewKey(view)), widths);
    }
    s.endGroup();
}
