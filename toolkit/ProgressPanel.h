#pragma once
// A panel that floats over an area of a window while long work runs: what is
// being done, how far it is, a bar and 取消. It is the window's own child, so it
// stays usable while the rest of the window takes no input. Short work shows
// nothing: the panel is due a moment after the work began (Start), unless the
// work ended first (Stop), and then shows if its owner's work is still on
// (SetWork); it goes when none is left (Idle).
#include "toolkit/Export.h"
#include <QFrame>
#include <QList>
#include <QPointer>
#include <QStringList>
#include <functional>

class QAction;
class QLabel;
class QProgressBar;
class QPushButton;
class QTimer;

class TOOLKIT_EXPORT TProgressPanel : public QFrame {
    Q_OBJECT
public:
    TProgressPanel(QWidget* Form, QWidget* Over);
    // Work began: what it is; the panel is due after the delay.
    void Start(const QString& What, const QString& Step);
    void SetWhat(const QString& What);
    // How far the work is; Total 0: unknown (the bar moves without a value).
    void SetStep(const QString& Step, int Done = 0, int Total = 0);
    // Over the middle of the area, or at its bottom (the rows above stay readable).
    void Show(bool AtBottom);
    void Stop();
    // Whose work the panel shows: Busy, whether any is on; AtBottom, whether to
    // keep to the area's bottom (rows arriving above it stay readable).
    void SetWork(std::function<bool()> Busy, std::function<bool()> AtBottom);
    // A piece of work ended: the panel goes when no other is on.
    void Idle();
    // While work that takes no input runs: Areas and Actions are off (the panel
    // stays usable). Disabling takes the focus away; it comes back after.
    void BlockInput(bool Blocked, const QList<QWidget*>& Areas, const QList<QAction*>& Actions);
    // The object names of the panel and of its parts: what, step, bar, 取消.
    void NameParts(const QStringList& Names);
    QLabel* WhatLabel() const { return FWhat; }
    QLabel* StepLabel() const { return FStep; }
    QProgressBar* Bar() const { return FBar; }
    QPushButton* CancelButton() const { return FCancel; }

signals:
    void cancelClicked();

private:
    QWidget* FOver;
    QLabel* FWhat;
    QLabel* FStep;
    QProgressBar* FBar;
    QPushButton* FCancel;
    QTimer* FDelay;
    QPointer<QWidget> FFocusBefore;
    std::function<bool()> FBusy, FAtBottom;
};
