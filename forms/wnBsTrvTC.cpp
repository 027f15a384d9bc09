#include "forms/wnBsTrvTC.h"
#include "toolkit/ComCtrls.h"
#include "toolkit/ExtCtrls.h"
#include <QFrame>
#include <QSettings>
#include <QSplitter>
#include <QVBoxLayout>

QFrame* TfrmBsTrvTC::NewPanel(QWidget* parent, const QString& name, bool bevel)
{
    return bevel ? NewFrame(parent, name, QFrame::Panel, QFrame::Raised) : NewFrame(parent, name, QFrame::NoFrame);
}

QVBoxLayout* TfrmBsTrvTC::NewColumn(QWidget* w, int margin)
{
    auto* l = new QVBoxLayout(w);
    l->setContentsMargins(margin, margin, margin, margin);
    l->setSpacing(0);
    return l;
}

TfrmBsTrvTC::TfrmBsTrvTC(TComponent* AOwner) : TfrmBsCld(AOwner)
{
    QWidget* form = Handle();
    form->setObjectName(QStringLiteral("frmBsTrvTC"));
    SetCaption(QString());
    SetLeft(422);
    SetTop(430);
    SetPosition(poScreenCenter);
    SetWindowState(wsNormal);

    pnlBottom = NewPanel(form, QStringLiteral("pnlBottom"), false);
    auto* bottom = NewColumn(pnlBottom, 0);
    FormLayout()->addWidget(pnlBottom, 1);

    Splitter1 = new QSplitter(Qt::Horizontal, pnlBottom);
    Splitter1->setObjectName(QStringLiteral("Splitter1"));
    Splitter1->setHandleWidth(3);
    Splitter1->setChildrenCollapsible(false);
    bottom->addWidget(Splitter1);

    pnlLeft = NewPanel(Splitter1, QStringLiteral("pnlLeft"), true);
    auto* left = NewColumn(pnlLeft, 1);
    trvList = new TTreeView(pnlLeft);
    trvList->setObjectName(QStringLiteral("trvList"));
    trvList->setIndentation(19);
    left->addWidget(trvList);

    pnlNo = NewPanel(Splitter1, QStringLiteral("pnlNo"), false);
    auto* no = NewColumn(pnlNo, 0);
    Splitter2 = new QSplitter(Qt::Vertical, pnlNo);
    Splitter2->setObjectName(QStringLiteral("Splitter2"));
    Splitter2->setHandleWidth(2);
    Splitter2->setChildrenCollapsible(false);
    no->addWidget(Splitter2);

    pnlBTop = NewPanel(Splitter2, QStringLiteral("pnlBTop"), false);
    auto* top = NewColumn(pnlBTop, 0);
    pnlRightTop = NewPanel(pnlBTop, QStringLiteral("pnlRightTop"), true);
    pnlTopMessage = NewPanel(pnlBTop, QStringLiteral("pnlTopMessage"), true);
    pnlTopMessage->setFixedHeight(23);
    top->addWidget(pnlRightTop, 1);
    top->addWidget(pnlTopMessage);

    pnlBBotton = NewPanel(Splitter2, QStringLiteral("pnlBBotton"), false);
    auto* low = NewColumn(pnlBBotton, 0);
    pnlRightBottom = NewPanel(pnlBBotton, QStringLiteral("pnlRightBottom"), true);
    pnlBottonMessage = NewPanel(pnlBBotton, QStringLiteral("pnlBottonMessage"), true);
    pnlBottonMessage->setFixedHeight(22);
    low->addWidget(pnlRightBottom, 1);
    low->addWidget(pnlBottonMessage);

    Splitter1->addWidget(pnlLeft);
    Splitter1->addWidget(pnlNo);
    Splitter1->setStretchFactor(1, 1);
    Splitter1->setSizes({171, 361});
    Splitter2->addWidget(pnlBTop);
    Splitter2->addWidget(pnlBBotton);
    Splitter2->setStretchFactor(1, 1);
    Splitter2->setSizes({149, 142});
}

TfrmBsTrvTC::~TfrmBsTrvTC() = default;

void TfrmBsTrvTC::SaveSplitterState(QSettings& Settings) const
{
    Settings.setValue(QStringLiteral("splitter"), Splitter1->saveState());
}

void TfrmBsTrvTC::RestoreSplitterState(const QSettings& Settings)
{
    const QByteArray state = Settings.value(QStringLiteral("splitter")).toByteArray();
    if (!state.isEmpty())
        Splitter1->restoreState(state);
}
