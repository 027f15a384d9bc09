#pragma once
// What the confirmation window keeps for the user between sessions, as keys and
// values of its settings file: which keys are the window's, and how each view's
// sort and column widths are written. The window reads and sets its controls;
// these functions know only plain values. A view is 0 (汇总) or 1 (明细).
#include "grid/untViewColumns.h"
#include <QHash>
#include <QSettings>
#include <QString>
#include <optional>

// The module's settings file of this user.
QSettings ViewSettingsStore();
// Removes from the file (at its top level) what the window does not keep.
void DropUnknownKeys(QSettings& Settings);

// Within the window's group ("TbfrmVeltrane"). A stored value that is damaged or
// out of range reads as none.
std::optional<TViewSort> ReadViewSort(const QSettings& Settings, int View);
void WriteViewSort(QSettings& Settings, int View, const TViewSort& Sort);
QHash<QString, int> ReadColumnWidths(const QSettings& Settings, int View);
void WriteColumnWidths(QSettings& Settings, int View, const QHash<QString, int>& Widths);

// What the user made of each view's columns, kept over reloads and, in the
// window's group, between sessions.
struct TViewMemory {
    TColumnChoices Views[2];
    void Read(const QSettings& Settings);
    void Write(QSettings& Settings) const;
};
