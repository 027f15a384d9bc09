// The confirmation window's controls, built as the module lays them out: the
// tool bar and menus, the tree pane with the filters above it, the status choice
// above the grid, the status line under it and the progress panel over it.
#include "forms/bwnVeltrane.h"
#include "forms/untImages.h"
#include "grid/untNextGridManager.h"
#include "toolkit/ComCtrls.h"
#include "toolkit/NextGrid.h"
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

QToolButton* ToolButton(QToolBar* bar, const QString& name, const QString& caption, int image,
                        QAction** placed)
{
    auto* b = new QToolButton;
    b->setObjectName(name);
    b->setText(caption);
    b->setIcon(ToolImage(image));
    b->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    b->setAutoRaise(true);
    b->setMinimumSize(43, 35);
    if (bar)
        *placed = bar->addWidget(b);
    return b;
}

QAction* ToolSeparator(QToolBar* bar, const QString& name, int width)
{
    auto* s = new QFrame(bar);
    s->setObjectName(name);
    s->setFrameShape(QFrame::VLine);
    s->setFrameShadow(QFrame::Sunken);
    s->setFixedWidth(width);
    return bar->addWidget(s);
}

QAction* MenuAction(QMenu* menu, const QString& name, const QString& caption, int image)
{
    QAction* a = menu->addAction(caption);
    a->setObjectName(name);
    if (image >= 0)
        a->setIcon(ToolImage(image));
    return a;
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

    // Tool bar: the hidden modify and delete buttons come first, as stored.
    // The modify and delete buttons are stored hidden and never shown: kept out of
    // the tool bar's layout so that nothing there changes their state.
    QAction* placed = nullptr;
    tbtnMod = ToolButton(nullptr, QStringLiteral("tbtnMod"), QStringLiteral(" 修改 "), 0, nullptr);
    tbtnMod->setParent(tblChildMain);
    tbtnMod->setToolTip(QStringLiteral("修改"));
    tbtnMod->hide();
    tbtnDel = ToolButton(nullptr, QStringLiteral("tbtnDel"), QStringLiteral(" 删除 "), 1, nullptr);
    tbtnDel->setParent(tblChildMain);
    tbtnDel->setToolTip(QStringLiteral("删除"));
    tbtnDel->hide();
    for (const char* name : {"ToolButton6", "ToolButton4"}) {
        auto* sep = new QFrame(tblChildMain);
        sep->setObjectName(QLatin1String(name));
        sep->setFrameShape(QFrame::VLine);
        sep->hide();
    }
    tbtnConfirm = ToolButton(tblChildMain, QStringLiteral("tbtnConfirm"), QStringLiteral(" 确认 "), 9, &placed);
    tbtnCancel = ToolButton(tblChildMain, QStringLiteral("tbtnCancel"), QStringLiteral(" 撤销 "), 7, &placed);
    // What each does and its key, for a user who hovers.
    tbtnConfirm->setToolTip(QStringLiteral("确认选中的预算指标（Ctrl+E）"));
    tbtnCancel->setToolTip(QStringLiteral("撤销选中预算指标的确认（Ctrl+D）"));
    tbtnFind = ToolButton(tblChildMain, QStringLiteral("tbtnFind"), QStringLiteral(" 查找 "), 3, &placed);
    tbtnFind->setToolTip(QStringLiteral("在单位树中查找单位（Ctrl+F）"));
    tbtnRefresh = ToolButton(tblChildMain, QStringLiteral("tbtnRefresh"), QStringLiteral(" 刷新 "), 4, &placed);
    tbtnRefresh->setToolTip(QStringLiteral("重新提取当前单位的预算指标（F5）"));
    ToolSeparator(tblChildMain, QStringLiteral("ToolButton3"), 8);
    tbtnColse = ToolButton(tblChildMain, QStringLiteral("tbtnColse"), QStringLiteral(" 退出 "), 2, &placed);
    tbtnColse->setToolTip(QStringLiteral("退出"));
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
    mnuConfirm = MenuAction(mitemDataVind, QStringLiteral("mnuConfirm"), QStringLiteral("确认"), 0);
    mnuConfirm->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_E));
    mnuCancel = MenuAction(mitemDataVind, QStringLiteral("mnuCancel"), QStringLiteral("撤销"), 1);
    mnuCancel->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_D));
    mnuRefresh = MenuAction(mitemDataVind, QStringLiteral("mnuRefresh"), QStringLiteral("刷新"), 4);
    mnuRefresh->setShortcut(QKeySequence(Qt::Key_F5));
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

    sbtnHindUT = new QToolButton(Panel1);
    sbtnHindUT->setObjectName(QStringLiteral("sbtnHindUT"));
    sbtnHindUT->setAutoRaise(true);
    sbtnHindUT->setIcon(HidePaneGlyph());
    sbtnHindUT->setToolTip(QStringLiteral("显示/关闭单位树"));
    QFont glyphFont(QStringLiteral("宋体"));
    glyphFont.setPixelSize(16);
    glyphFont.setBold(true);
    sbtnHindUT->setFont(glyphFont);
    sbtnHindUT->setGeometry(202, 5, 21, 20);

    Panel2 = new QFrame(Panel1);
    Panel2->setObjectName(QStringLiteral("Panel2"));
    Panel2->setFrameShape(QFrame::Panel);
    Panel2->setFrameShadow(QFrame::Sunken);
    Panel2->setFixedHeight(65);
    Label2 = new QLabel(QStringLiteral("指标类型："), Panel2);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->move(12, 14);
    cobBType = new QComboBox(Panel2);
    cobBType->setObjectName(QStringLiteral("cobBType"));
    cobBType->setGeometry(74, 9, 145, 20);
    rbtnSum = new QRadioButton(QStringLiteral("汇总"), Panel2);
    rbtnSum->setObjectName(QStringLiteral("rbtnSum"));
    rbtnSum->move(16, 40);
    rbtnSum->setChecked(true);
    rbtnDetail = new QRadioButton(QStringLiteral("明细"), Panel2);
    rbtnDetail->setObjectName(QStringLiteral("rbtnDetail"));
    rbtnDetail->move(144, 40);
    // Below the panel's height: reachable by keyboard only, as stored.
    Label3 = new QLabel(QStringLiteral("涉密标识："), Panel2);
    Label3->setObjectName(QStringLiteral("Label3"));
    Label3->move(12, 97);
    cobSecret = new QComboBox(Panel2);
    cobSecret->setObjectName(QStringLiteral("cobSecret"));
    cobSecret->setGeometry(74, 92, 143, 20);
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
    pnlFilterStrip = new QFrame(pnlBTop);
    pnlFilterStrip->setObjectName(QStringLiteral("pnlFilterStrip"));
    auto* stripLayout = new QHBoxLayout(pnlFilterStrip);
    stripLayout->setContentsMargins(2, 0, 2, 0);
    sbtnShowUT = new QToolButton(pnlFilterStrip);
    sbtnShowUT->setObjectName(QStringLiteral("sbtnShowUT"));
    sbtnShowUT->setAutoRaise(true);
    sbtnShowUT->setIcon(ShowPaneGlyph());
    sbtnShowUT->setToolTip(QStringLiteral("显示单位树"));
    stripLayout->addWidget(sbtnShowUT, 0, Qt::AlignTop);
    stripLayout->addStretch(1);
    topLayout->insertWidget(1, pnlFilterStrip);
    pnlFilterStrip->hide();
    rbtnNO = new QRadioButton(QStringLiteral("未确认"), pnlTopMessage);
    rbtnNO->setObjectName(QStringLiteral("rbtnNO"));
    rbtnNO->move(16, 8);
    rbtnNO->setChecked(true);
    rbtnOK = new QRadioButton(QStringLiteral("已确认"), pnlTopMessage);
    rbtnOK->setObjectName(QStringLiteral("rbtnOK"));
    rbtnOK->move(96, 8);

    auto* gridLayout = new QVBoxLayout(pnlRightTop);
    gridLayout->setContentsMargins(1, 1, 1, 1);
    ngdBudgetAdj = new TNextGrid(pnlRightTop);
    ngdBudgetAdj->setObjectName(QStringLiteral("ngdBudgetAdj"));
    ngdBudgetAdj->SetMouseWheelEnabled(false);
    gridLayout->addWidget(ngdBudgetAdj);
    pmenu = new QMenu(form);
    pmenu->setObjectName(QStringLiteral("pmenu"));
    pmuAll = MenuAction(pmenu, QStringLiteral("pmuAll"), QStringLiteral("全选"), -1);
    pmuClear = MenuAction(pmenu, QStringLiteral("pmuClear"), QStringLiteral("全清"), -1);
    ngdBudgetAdj->SetPopupMenu(pmenu);

    // The status line under the grid: what it lists and what is ticked, and what
    // the latest run did.
    pnlStatus = new QFrame(pnlRightTop);
    pnlStatus->setObjectName(QStringLiteral("pnlStatus"));
    pnlStatus->setFrameShape(QFrame::StyledPanel);
    auto* statusLayout = new QHBoxLayout(pnlStatus);
    statusLayout->setContentsMargins(6, 2, 6, 2);
    lblStatus = new QLabel(pnlStatus);
    lblStatus->setObjectName(QStringLiteral("lblStatus"));
    lblStatus->setTextInteractionFlags(Qt::TextSelectableByMouse);
    statusLayout->addWidget(lblStatus, 1);
    lblOutput = new QLabel(pnlStatus);
    lblOutput->setObjectName(QStringLiteral("lblOutput"));
    lblOutput->setTextFormat(Qt::RichText);
    lblOutput->hide();
    statusLayout->addWidget(lblOutput);
    btnClearFilter = new QToolButton(pnlStatus);
    btnClearFilter->setObjectName(QStringLiteral("btnClearFilter"));
    btnClearFilter->setText(QStringLiteral("清除筛选"));
    btnClearFilter->setToolTip(QStringLiteral("清除筛选行中的全部条件（在筛选行中按 Esc）"));
    btnClearFilter->setAutoRaise(true);
    btnClearFilter->hide();
    statusLayout->addWidget(btnClearFilter);
    gridLayout->addWidget(pnlStatus);

    // The progress panel floats over the grid. It belongs to the form itself, so
    // that it stays usable while the rest of the window takes no input.
    pnprocess = new QFrame(form);
    pnprocess->setObjectName(QStringLiteral("pnprocess"));
    pnprocess->setFrameShape(QFrame::Panel);
    pnprocess->setFrameShadow(QFrame::Raised);
    pnprocess->setAutoFillBackground(true);
    auto* proc = new QVBoxLayout(pnprocess);
    Label4 = new QLabel(QStringLiteral("正在提取数据："), pnprocess);
    Label4->setObjectName(QStringLiteral("Label4"));
    Label5 = new QLabel(QStringLiteral("进度："), pnprocess);
    Label5->setObjectName(QStringLiteral("Label5"));
    pbProcess = new QProgressBar(pnprocess);
    pbProcess->setObjectName(QStringLiteral("pbProcess"));
    btnProcessCancel = new QPushButton(QStringLiteral("取消"), pnprocess);
    btnProcessCancel->setObjectName(QStringLiteral("btnProcessCancel"));
    proc->addWidget(Label4);
    proc->addWidget(Label5);
    proc->addWidget(pbProcess);
    auto* cancelRow = new QHBoxLayout;
    cancelRow->addStretch(1);
    cancelRow->addWidget(btnProcessCancel);
    proc->addLayout(cancelRow);
    pnprocess->resize(320, 130);
    pnprocess->hide();

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

void TbfrmVeltrane::PlaceProcessPanel()
{
    QWidget* form = Handle();
    const QRect area(ngdBudgetAdj->mapTo(form, QPoint(0, 0)), ngdBudgetAdj->size());
    QRect r(QPoint(0, 0), pnprocess->sizeHint().expandedTo(QSize(320, 120)));
    r.moveCenter(area.center());
    // Over rows that are arriving it keeps to the bottom: the first stay readable.
    if (ngdBudgetAdj->RowCount() > 0 && FController->Loading())
        r.moveBottom(area.bottom() - 8);
    pnprocess->setGeometry(r);
}
