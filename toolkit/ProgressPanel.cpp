#include "toolkit/ProgressPanel.h"
#include <QAction>
#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

TProgressPanel::TProgressPanel(QWidget* Form, QWidget* Over) : QFrame(Form), FOver(Over)
{
    setFrameShape(QFrame::Panel);
    setFrameShadow(QFrame::Raised);
    setAutoFillBackground(true);
    auto* rows = new QVBoxLayout(this);
    FWhat = new QLabel(this);
    FStep = new QLabel(this);
    FBar = new QProgressBar(this);
    FCancel = new QPushButton(QStringLiteral("取消"), this);
    rows->addWidget(FWhat);
    rows->addWidget(FStep);
    rows->addWidget(FBar);
    auto* cancelRow = new QHBoxLayout;
    cancelRow->addStretch(1);
    cancelRow->addWidget(FCancel);
    rows->addLayout(cancelRow);
    resize(320, 130);
    hide();
    // Short work shows no panel: it would only flicker.
    FDelay = new QTimer(this);
    FDelay->setSingleShot(true);
    FDelay->setInterval(300);
    connect(FDelay, &QTimer::timeout, this, [this] {
        if (FBusy && FBusy())
            Show(FAtBottom && FAtBottom());
    });
    connect(FCancel, &QPushButton::clicked, this, &TProgressPanel::cancelClicked);
}

void TProgressPanel::Start(const QString& What, const QString& Step)
{
    SetWhat(What);
    SetStep(Step);
    FDelay->start();
}

void TProgressPanel::SetWhat(const QString& What) { FWhat->setText(What); }

void TProgressPanel::SetStep(const QString& Step, int Done, int Total)
{
    FStep->setText(Step);
    FBar->setRange(0, Total > 0 ? Total : 0);
    if (Total > 0)
        FBar->setValue(Done);
}

void TProgressPanel::Show(bool AtBottom)
{
    QWidget* form = parentWidget();
    const QRect area(FOver->mapTo(form, QPoint(0, 0)), FOver->size());
    QRect r(QPoint(0, 0), sizeHint().expandedTo(QSize(320, 120)));
    r.moveCenter(area.center());
    if (AtBottom)
        r.moveBottom(area.bottom() - 8);
    setGeometry(r);
    show();
    raise();
}

void TProgressPanel::Stop()
{
    FDelay->stop();
    hide();
}

void TProgressPanel::NameParts(const QStringList& Names)
{
    const QList<QObject*> parts{this, FWhat, FStep, FBar, FCancel};
    for (int i = 0; i < parts.size() && i < Names.size(); ++i)
        parts[i]->setObjectName(Names[i]);
}

void TProgressPanel::SetWork(std::function<bool()> Busy, std::function<bool()> AtBottom)
{
    FBusy = std::move(Busy);
    FAtBottom = std::move(AtBottom);
}

void TProgressPanel::Idle()
{
    if (!FBusy || !FBusy())
        Stop();
}

void TProgressPanel::BlockInput(bool Blocked, const QList<QWidget*>& Areas, const QList<QAction*>& Actions)
{
    if (Blocked) {
        QWidget* focus = QApplication::focusWidget();
        FFocusBefore = focus && parentWidget()->isAncestorOf(focus) ? focus : nullptr;
    }
    for (QWidget* w : Areas)
        w->setEnabled(!Blocked);
    for (QAction* a : Actions)
        a->setEnabled(!Blocked);
    if (!Blocked && FFocusBefore)
        FFocusBefore->setFocus(Qt::OtherFocusReason);
}
