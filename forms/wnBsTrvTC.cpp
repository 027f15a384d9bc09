#include "forms/wnBsTrvTC.h"
#include "toolkit/ComCtrls.h"
#include <QFrame>
#include <QSplitter>
#include <QVBoxLayout>

QFrame* TfrmBsTrvTC::NewPanel(QWidget* parent, const QString& name, bool bevel)
{
    auto* p = new QFrame(parent);
    p->setObjectName(name);
    if (bevel) {
        p->setFrameShape(QFrame::Panel);
        p->setFrameShadow(QFrame::Raised);
    } else {
        p->setFrameShape(QFrame::NoFrame);
    }
    return p;
}

namespace {

QVBoxLayout* Column(QWidget* w, int margin)
{
    auto* l = new QVBoxLayout(w);
    l->setContentsMargins(margin, margin, margin, margin);
    l->setSpacing(0);
    return l;
}

}  // namespace

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
    auto* bottom = Column(pnlBottom, 0);
    FormLayout()->addWidget(pnlBottom, 1);

    Splitter1 = new QSplitter(Qt::Horizontal, pnlBottom);
    Splitter1->setObjectName(QStringLiteral("Splitter1"));
    Splitter1->setHandleWidth(3);
    Splitter1->setChildrenCollapsible(false);
    bottom->addWidget(Splitter1);

    pnlLeft = NewPanel(Splitter1, QStringLiteral("pnlLeft"), true);
    auto* left = Column(pnlLeft, 1);
    trvList = new TTreeView(pnlLeft);
    trvList->setObjectName(QStringLiteral("trvList"));
    trvList->setIndentation(19);
    left->addWidget(trvList);

    pnlNo = NewPanel(Splitter1, QStringLiteral("pnlNo"), false);
    auto* no = Column(pnlNo, 0);
    Splitter2 = new QSplitter(Qt::Vertical, pnlNo);
    Splitter2->setObjectName(QStringLiteral("Splitter2"));
    Splitter2->setHandleWidth(2);
    Splitter2->setChildrenCollapsible(false);
    no->addWidget(Splitter2);

    pnlBTop = NewPanel(Splitter2, QStringLiteral("pnlBTop"), false);
    auto* top = Column(pnlBTop, 0);
    pnlRightTop = NewPanel(pnlBTop, QStringLiteral("pnlRightTop"), true);
    pnlTopMessage = NewPanel(pnlBTop, QStringLiteral("pnlTopMessage"), true);
    pnlTopMessage->setFixedHeight(23);
    top->addWidget(pnlRightTop, 1);
    top->addWidget(pnlTopMessage);

    pnlBBotton = NewPanel(Splitter2, QStringLiteral("pnlBBotton"), false);
    auto* low = Column(pnlBBotton, 0);
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
