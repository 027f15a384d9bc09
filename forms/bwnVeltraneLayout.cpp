// The confirmation window's controls, built as the module lays them out: the
// tool bar and menus, the tree pane with the filters above it, the status choice
// above the grid, the status line under it and the progress panel over it.
#include "forms/bwnVeltrane.h"
#include "forms/untImages.h"
#include "grid/untNextGridManager.h"
#include "toolkit/ComCtrls.h"
#include "toolkit/ExtCtrls.h"
#include "toolkit/NextGrid.h"
#include "toolkit/ProgressPanel.h"
#include "tree/untDynamicTree.h"
#include "tree/untTreeFindBar.h"
#include <QAction>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QApplication>
#include <QRadioButton>
#include <QSplitter>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

// A tool bar button; one not placed is the bar's child only, hidden.
QToolButton* ToolButton(QToolBar* bar, const QString& name, const QString& caption, const QString& tip,
                        int image, bool placed = true)
{
    auto* b = new QToolButton;
    b->setObjectName(name);
    b->setText(caption);
    b->setToolTip(tip);
    b->setIcon(ToolImage(image));
    b->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    b->setAutoRaise(true);
    b->setMinimumSize(43, 35);
    if (placed) {
        bar->addWidget(b);
    } else {
        b->setParent(bar);
        b->hide();
    }
    return b;
}

void ToolSeparator(QToolBar* bar, const QString& name, int width)
{
    auto* s = NewChild<QFrame>(bar, name);
    s->setFrameShape(QFrame::VLine);
    s->setFrameShadow(QFrame::Sunken);
    s->setFixedWidth(width);
    bar->addWidget(s);
}

QAction* MenuAction(QMenu* menu, const QString& name, const QString& caption, int image,
                    const QKeySequence& shortcut = {})
{
    QAction* a = menu->addAction(caption);
    a->setObjectName(name);
    if (image >= 0)
        a->setIcon(ToolImage(image));
    if (!shortcut.isEmpty())
        a->setShortcut(shortcut);
    return a;
}

QToolButton* FlatButton(QWidget* parent, const QString& name, const QString& tip)
{
    auto* b = NewChild<QToolButton>(parent, name);
    b->setAutoRaise(true);
    b->setToolTip(tip);
    return b;
}

}  // namespace

// ---------------------------------------------------------------- the window's controls

void TbfrmVeltrane::BuildLayout()
{
    SetName(QStringLiteral("bfrmVeltrane"));
    QWidget* form = Handle();
    form->setObjectName(QStringLiteral("bfrmVeltrane"));
    SetCaption(QStringLiteral("支付范围划分确认"));
    form->setWindowIcon(WindowImage());
    SetWidth(650);
    SetHeight(700);

    // Tool bar: the modify and delete buttons come first, as stored, hidden and
    // never shown: kept out of the tool bar's layout so that nothing there changes
    // their state.
    tbtnMod = ToolButton(tblChildMain, QStringLiteral("tbtnMod"), QStringLiteral(" 修改 "), QStringLiteral("修改"), 0, false);
    tbtnDel = ToolButton(tblChildMain, QStringLiteral("tbtnDel"), QStringLiteral(" 删除 "), QStringLiteral("删除"), 1, false);
    for (const char* name : {"ToolButton6", "ToolButton4"}) {
        auto* sep = NewChild<QFrame>(tblChildMain, QLatin1String(name));
        sep->setFrameShape(QFrame::VLine);
        sep->hide();
    }
    // What each does and its key, for a user who hovers.
    tbtnConfirm = ToolButton(tblChildMain, QStringLiteral("tbtnConfirm"), QStringLiteral(" 确认 "),
                             QStringLiteral("确认选中的预算指标（Ctrl+E）"), 9);
    tbtnCancel = ToolButton(tblChildMain, QStringLiteral("tbtnCancel"), QStringLiteral(" 撤销 "),
                            QStringLiteral("撤销选中预算指标的确认（Ctrl+D）"), 7);
    tbtnFind = ToolButton(tblChildMain, QStringLiteral("tbtnFind"), QStringLiteral(" 查找 "),
                          QStringLiteral("在单位树中查找单位（Ctrl+F）"), 3);
    tbtnRefresh = ToolButton(tblChildMain, QStringLiteral("tbtnRefresh"), QStringLiteral(" 刷新 "),
                             QStringLiteral("重新提取当前单位的预算指标（F5）"), 4);
    ToolSeparator(tblChildMain, QStringLiteral("ToolButton3"), 8);
    tbtnColse = ToolButton(tblChildMain, QStringLiteral("tbtnColse"), QStringLiteral(" 退出 "), QStringLiteral("退出"), 2);
    tbtnConfirm->setEnabled(false);
    tbtnCancel->setEnabled(false);

    // Menus, merged into the host's menu bar while the window is active. The
    // short-cuts must also work from inside the window, whose widgets are not
    // children of the host's menu bar.
    mnuShowUT = MenuAction(mitemOption, QStringLiteral("mnuShowUT"), QStringLiteral("显示/关闭单位树"), -1);
    mnuShowUT->setCheckable(true);
    mnuShowUT->setChecked(true);
    N1 = mitemOption->addSeparator();
    N1->setObjectName(QStringLiteral("N1"));
    mnuColse = MenuAction(mitemOption, QStringLiteral("mnuColse"), QStringLiteral("退出"), 2);
    mnuConfirm = MenuAction(mitemDataVind, QStringLiteral("mnuConfirm"), QStringLiteral("确认"), 0, Qt::CTRL | Qt::Key_E);
    mnuCancel = MenuAction(mitemDataVind, QStringLiteral("mnuCancel"), QStringLiteral("撤销"), 1, Qt::CTRL | Qt::Key_D);
    mnuRefresh = MenuAction(mitemDataVind, QStringLiteral("mnuRefresh"), QStringLiteral("刷新"), 4, Qt::Key_F5);
    for (QAction* a : {mnuConfirm, mnuCancel, mnuRefresh}) {
        a->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        form->addAction(a);
    }

    // Tree pane: the filter area above the tree.
    Splitter1->setSizes({233, 650 - 233 - Splitter1->handleWidth()});
    Panel1 = NewPanel(pnlLeft, QStringLiteral("Panel1"), false);
    Panel1->setFixedHeight(131);
    auto* p1 = new QVBoxLayout(Panel1);
    p1->setContentsMargins(0, 0, 0, 0);
    p1->setSpacing(0);
    p1->addStretch(1);

    sbtnHindUT = FlatButton(Panel1, QStringLiteral("sbtnHindUT"), QStringLiteral("显示/关闭单位树"));
    sbtnHindUT->setIcon(HidePaneGlyph());
    QFont glyphFont(QStringLiteral("宋体"));
    glyphFont.setPixelSize(16);
    glyphFont.setBold(true);
    sbtnHindUT->setFont(glyphFont);
    sbtnHindUT->setGeometry(202, 5, 21, 20);

    Panel2 = NewChild<QFrame>(Panel1, QStringLiteral("Panel2"));
    Panel2->setFrameShape(QFrame::Panel);
    Panel2->setFrameShadow(QFrame::Sunken);
    Panel2->setFixedHeight(65);
    Label2 = NewChild<QLabel>(Panel2, QStringLiteral("Label2"), QStringLiteral("指标类型："), {12, 14});
    cobBType = NewChild<QComboBox>(Panel2, QStringLiteral("cobBType"), QRect(74, 9, 145, 20));
    rbtnSum = NewChild<QRadioButton>(Panel2, QStringLiteral("rbtnSum"), QStringLiteral("汇总"), {16, 40});
    rbtnSum->setChecked(true);
    rbtnDetail = NewChild<QRadioButton>(Panel2, QStringLiteral("rbtnDetail"), QStringLiteral("明细"), {144, 40});
    // Below the panel's height: reachable by keyboard only, as stored.
    Label3 = NewChild<QLabel>(Panel2, QStringLiteral("Label3"), QStringLiteral("涉密标识："), {12, 97});
    cobSecret = NewChild<QComboBox>(Panel2, QStringLiteral("cobSecret"), QRect(74, 92, 143, 20));
    p1->addWidget(Panel2);

    rgpShowEid = new TRadioGroup(Panel1, QStringLiteral("rgpShowEid"),
                                 {QStringLiteral("显示代录单位"), QStringLiteral("显示全部单位")}, 2);
    rgpShowEid->setFixedHeight(41);
    rgpShowEid->SetItemIndex(0);
    p1->addWidget(rgpShowEid);
    sbtnHindUT->raise();

    auto* leftLayout = static_cast<QVBoxLayout*>(pnlLeft->layout());
    leftLayout->insertWidget(0, Panel1);
    Panel2->setMinimumWidth(225);

    // Record area: the status choice above the grid, which takes the whole right pane.
    pnlBBotton->hide();
    Splitter2->handle(1)->hide();
    auto* topLayout = static_cast<QVBoxLayout*>(pnlBTop->layout());
    topLayout->removeWidget(pnlTopMessage);
    topLayout->insertWidget(0, pnlTopMessage);
    pnlTopMessage->setFixedHeight(33);
    pnlFilterStrip = NewChild<QFrame>(pnlBTop, QStringLiteral("pnlFilterStrip"));
    auto* stripLayout = new QHBoxLayout(pnlFilterStrip);
    stripLayout->setContentsMargins(2, 0, 2, 0);
    sbtnShowUT = FlatButton(pnlFilterStrip, QStringLiteral("sbtnShowUT"), QStringLiteral("显示单位树"));
    sbtnShowUT->setIcon(ShowPaneGlyph());
    stripLayout->addWidget(sbtnShowUT, 0, Qt::AlignTop);
    stripLayout->addStretch(1);
    topLayout->insertWidget(1, pnlFilterStrip);
    pnlFilterStrip->hide();
    rbtnNO = NewChild<QRadioButton>(pnlTopMessage, QStringLiteral("rbtnNO"), QStringLiteral("未确认"), {16, 8});
    rbtnNO->setChecked(true);
    rbtnOK = NewChild<QRadioButton>(pnlTopMessage, QStringLiteral("rbtnOK"), QStringLiteral("已确认"), {96, 8});

    auto* gridLayout = new QVBoxLayout(pnlRightTop);
    gridLayout->setContentsMargins(1, 1, 1, 1);
    ngdBudgetAdj = NewChild<TNextGrid>(pnlRightTop, QStringLiteral("ngdBudgetAdj"));
    ngdBudgetAdj->SetMouseWheelEnabled(false);
    gridLayout->addWidget(ngdBudgetAdj);
    pmenu = NewChild<QMenu>(form, QStringLiteral("pmenu"));
    pmuAll = MenuAction(pmenu, QStringLiteral("pmuAll"), QStringLiteral("全选"), -1);
    pmuClear = MenuAction(pmenu, QStringLiteral("pmuClear"), QStringLiteral("全清"), -1);
    ngdBudgetAdj->SetPopupMenu(pmenu);

    // The status line under the grid: what it lists and what is ticked, and what
    // the latest run did.
    pnlStatus = NewChild<QFrame>(pnlRightTop, QStringLiteral("pnlStatus"));
    pnlStatus->setFrameShape(QFrame::StyledPanel);
    auto* statusLayout = new QHBoxLayout(pnlStatus);
    statusLayout->setContentsMargins(6, 2, 6, 2);
    lblStatus = NewChild<QLabel>(pnlStatus, QStringLiteral("lblStatus"));
    lblStatus->setTextInteractionFlags(Qt::TextSelectableByMouse);
    statusLayout->addWidget(lblStatus, 1);
    lblOutput = NewChild<QLabel>(pnlStatus, QStringLiteral("lblOutput"));
    lblOutput->setTextFormat(Qt::RichText);
    lblOutput->hide();
    statusLayout->addWidget(lblOutput);
    btnClearFilter = FlatButton(pnlStatus, QStringLiteral("btnClearFilter"),
                                QStringLiteral("清除筛选行中的全部条件（在筛选行中按 Esc）"));
    btnClearFilter->setText(QStringLiteral("清除筛选"));
    btnClearFilter->hide();
    statusLayout->addWidget(btnClearFilter);
    gridLayout->addWidget(pnlStatus);

    // The progress panel floats over the grid; it is the form's own, so that it
    // stays usable while the rest of the window takes no input.
    pnprocess = new TProgressPanel(form, ngdBudgetAdj);
    pnprocess->setObjectName(QStringLiteral("pnprocess"));
    pnprocess->WhatLabel()->setObjectName(QStringLiteral("Label4"));
    pnprocess->StepLabel()->setObjectName(QStringLiteral("Label5"));
    pnprocess->Bar()->setObjectName(QStringLiteral("pbProcess"));
    pnprocess->CancelButton()->setObjectName(QStringLiteral("btnProcessCancel"));

    DytDept = new TDynamicTree(this);
    DytDept->SetName(QStringLiteral("DytDept"));
    DytDept->SetLoadAll(true);
    DytDept->SetAutoExpandKind(aekFirstLeaf);
    DytDept->SetSyncDataLoad(true);
    DytDept->OnAfterAddNode = [](QObject*, TADOQuery*, TTreeNode* node, TItemInfo* info) {
        static const QIcon branch = UnitTreeImage(false);
        static const QIcon leaf = UnitTreeImage(true);
        node->setIcon(0, info && info->IsLeaf ? leaf : branch);
    };
}

void TbfrmVeltrane::BuildFindBar()
{
    pnlFind = new TTreeFindBar(pnlLeft, DytDept, this);
    auto* left = static_cast<QVBoxLayout*>(pnlLeft->layout());
    left->insertWidget(left->indexOf(trvList), pnlFind);
    // On the handle, as the confirm short-cut: focus may be anywhere in the window.
    QWidget* form = Handle();
    mnuFind = new QAction(QStringLiteral("查找单位"), form);
    mnuFind->setObjectName(QStringLiteral("mnuFind"));
    mnuFind->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F));
    mnuFind->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    form->addAction(mnuFind);
    // Also where a user looks for it: the menu and the tool bar.
    mitemOption->insertAction(mitemOption->actions().value(0), mnuFind);
    connect(tbtnFind, &QToolButton::clicked, mnuFind, &QAction::trigger);
    connect(mnuFind, &QAction::triggered, this, [this] { ShowFindBar(); });
}

// ---------------------------------------------------------------- the controls' states

void TbfrmVeltrane::ShowFindBar()
{
    // An operator of a single unit has no tree to search.
    if (trvList->isHidden())
        return;
    if (pnlLeft->isHidden()) {
        pnlLeft->show();
        mnuShowUT->setChecked(true);
    }
    pnlFind->Open();
}

void TbfrmVeltrane::HideFindBar() { pnlFind->Close(); }

void TbfrmVeltrane::FindUnit(const QString& text, bool next, std::function<void(TResult<QString>)> done)
{
    pnlFind->Find(text, next, std::move(done));
}

void TbfrmVeltrane::ShowTreePane(bool Show)
{
    // The filter boxes live in the tree pane; while it is hidden they move to a
    // strip above the grid, beside the button that brings the pane back.
    auto* paneFilters = static_cast<QVBoxLayout*>(Panel1->layout());
    auto* strip = static_cast<QHBoxLayout*>(pnlFilterStrip->layout());
    if (Show) {
        strip->removeWidget(Panel2);
        paneFilters->insertWidget(1, Panel2);
    } else {
        paneFilters->removeWidget(Panel2);
        strip->insertWidget(1, Panel2);
    }
    Panel2->show();
    pnlFilterStrip->setVisible(!Show);
    pnlLeft->setVisible(Show);
    mnuShowUT->setChecked(Show);
}

void TbfrmVeltrane::Splitter1Moved(int Pos) { sbtnHindUT->move(Pos - 27, sbtnHindUT->y()); }

void TbfrmVeltrane::SetInputBlocked(bool Blocked)
{
    // Everything but the progress panel: no filter, tick or action may change
    // what the run works on. Disabling takes the focus away; it comes back after.
    if (Blocked) {
        QWidget* focus = QApplication::focusWidget();
        FFocusBeforeRun = focus && Handle()->isAncestorOf(focus) ? focus : nullptr;
    }
    pnlBottom->setEnabled(!Blocked);
    tblChildMain->setEnabled(!Blocked);
    for (QMenu* m : {mitemOption, mitemDataVind})
        m->menuAction()->setEnabled(!Blocked);
    for (QAction* a : pmenu->actions())
        a->setEnabled(!Blocked);
    if (!Blocked) {
        UpdateButtons();
        if (FFocusBeforeRun)
            FFocusBeforeRun->setFocus(Qt::OtherFocusReason);
    }
}
