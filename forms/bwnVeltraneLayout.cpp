// The confirmation window's controls, built as the module lays them out: the
// tool bar and menus, the tree pane with the filters above it, the status choice
// above the grid, the status line under it and the progress panel over it.
#include "forms/bwnVeltrane.h"
#include "forms/untImages.h"
#include "grid/untGridFeatures.h"
#include "grid/untGridLoad.h"
#include "toolkit/ComCtrls.h"
#include "toolkit/NextGrid.h"
#include "toolkit/NextGridFilter.h"
#include "toolkit/ProgressPanel.h"
#include "tree/untDynamicTree.h"
#include "tree/untTreeFindBar.h"
#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSplitter>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

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
    // their state. The tips say what each does and its key.
    const auto tool = [this](const char* name, const QString& caption, const QString& tip, int image, bool placed = true) {
        return NewToolButton(tblChildMain, QLatin1String(name), caption, tip, ToolImage(image), placed);
    };
    tbtnMod = tool("tbtnMod", QStringLiteral(" 修改 "), QStringLiteral("修改"), 0, false);
    tbtnDel = tool("tbtnDel", QStringLiteral(" 删除 "), QStringLiteral("删除"), 1, false);
    for (const char* name : {"ToolButton6", "ToolButton4"})
        NewFrame(tblChildMain, QLatin1String(name), QFrame::VLine)->hide();
    tbtnConfirm = tool("tbtnConfirm", QStringLiteral(" 确认 "), QStringLiteral("确认选中的预算指标（Ctrl+E）"), 9);
    tbtnCancel = tool("tbtnCancel", QStringLiteral(" 撤销 "), QStringLiteral("撤销选中预算指标的确认（Ctrl+D）"), 7);
    tbtnFind = tool("tbtnFind", QStringLiteral(" 查找 "), QStringLiteral("在单位树中查找单位（Ctrl+F）"), 3);
    tbtnRefresh = tool("tbtnRefresh", QStringLiteral(" 刷新 "), QStringLiteral("重新提取当前单位的预算指标（F5）"), 4);
    auto* sep = NewFrame(tblChildMain, QStringLiteral("ToolButton3"), QFrame::VLine, QFrame::Sunken);
    sep->setFixedWidth(8);
    tblChildMain->addWidget(sep);
    tbtnColse = tool("tbtnColse", QStringLiteral(" 退出 "), QStringLiteral("退出"), 2);
    tbtnConfirm->setEnabled(false);
    tbtnCancel->setEnabled(false);

    // Menus, merged into the host's menu bar while the window is active.
    const auto item = [form](QMenu* menu, const char* name, const QString& caption, int image, QKeySequence key = {}) {
        return NewMenuItem(menu, QLatin1String(name), caption, image >= 0 ? ToolImage(image) : QIcon(), form, key);
    };
    // Finding a unit: a key of the window's, as the confirm key; also where a user
    // looks for it, the menu and the tool bar.
    mnuFind = item(mitemOption, "mnuFind", QStringLiteral("查找单位"), -1, Qt::CTRL | Qt::Key_F);
    mnuShowUT = item(mitemOption, "mnuShowUT", QStringLiteral("显示/关闭单位树"), -1);
    mnuShowUT->setCheckable(true);
    mnuShowUT->setChecked(true);
    N1 = Named(mitemOption->addSeparator(), QStringLiteral("N1"));
    mnuColse = item(mitemOption, "mnuColse", QStringLiteral("退出"), 2);
    mnuConfirm = item(mitemDataVind, "mnuConfirm", QStringLiteral("确认"), 0, Qt::CTRL | Qt::Key_E);
    mnuCancel = item(mitemDataVind, "mnuCancel", QStringLiteral("撤销"), 1, Qt::CTRL | Qt::Key_D);
    mnuRefresh = item(mitemDataVind, "mnuRefresh", QStringLiteral("刷新"), 4, Qt::Key_F5);

    // Tree pane: the filter area above the tree.
    Splitter1->setSizes({233, 650 - 233 - Splitter1->handleWidth()});
    Panel1 = NewPanel(pnlLeft, QStringLiteral("Panel1"), false);
    Panel1->setFixedHeight(131);
    QVBoxLayout* p1 = NewColumn(Panel1, 0);
    p1->addStretch(1);

    sbtnHindUT = NewFlatButton(Panel1, QStringLiteral("sbtnHindUT"), QStringLiteral("显示/关闭单位树"), HidePaneGlyph());
    QFont glyphFont(QStringLiteral("宋体"));
    glyphFont.setPixelSize(16);
    glyphFont.setBold(true);
    sbtnHindUT->setFont(glyphFont);
    sbtnHindUT->setGeometry(202, 5, 21, 20);

    Panel2 = NewFrame(Panel1, QStringLiteral("Panel2"), QFrame::Panel, QFrame::Sunken);
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

    static_cast<QVBoxLayout*>(pnlLeft->layout())->insertWidget(0, Panel1);
    Panel2->setMinimumWidth(225);

    // Record area: the status choice above the grid, which takes the whole right pane.
    pnlBBotton->hide();
    Splitter2->handle(1)->hide();
    auto* topLayout = static_cast<QVBoxLayout*>(pnlBTop->layout());
    topLayout->removeWidget(pnlTopMessage);
    topLayout->insertWidget(0, pnlTopMessage);
    pnlTopMessage->setFixedHeight(33);
    pnlFilterStrip = NewChild<QFrame>(pnlBTop, QStringLiteral("pnlFilterStrip"));
    QHBoxLayout* stripLayout = NewRowLayout(pnlFilterStrip, {2, 0, 2, 0});
    sbtnShowUT = NewFlatButton(pnlFilterStrip, QStringLiteral("sbtnShowUT"), QStringLiteral("显示单位树"), ShowPaneGlyph());
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
    ngdBudgetAdj->SetModel(FController);
    ngdBudgetAdj->SetMouseWheelEnabled(false);
    gridLayout->addWidget(ngdBudgetAdj);
    pmenu = NewChild<QMenu>(form, QStringLiteral("pmenu"));
    pmuAll = item(pmenu, "pmuAll", QStringLiteral("全选"), -1);
    pmuClear = item(pmenu, "pmuClear", QStringLiteral("全清"), -1);
    ngdBudgetAdj->SetPopupMenu(pmenu);

    // The status line under the grid: what it lists and what is ticked, and what
    // the latest run did.
    pnlStatus = NewFrame(pnlRightTop, QStringLiteral("pnlStatus"), QFrame::StyledPanel);
    QHBoxLayout* statusLayout = NewRowLayout(pnlStatus, {6, 2, 6, 2});
    lblStatus = NewChild<QLabel>(pnlStatus, QStringLiteral("lblStatus"));
    lblStatus->setTextInteractionFlags(Qt::TextSelectableByMouse);
    statusLayout->addWidget(lblStatus, 1);
    lblOutput = NewChild<QLabel>(pnlStatus, QStringLiteral("lblOutput"));
    lblOutput->setTextFormat(Qt::RichText);
    lblOutput->hide();
    statusLayout->addWidget(lblOutput);
    btnClearFilter = NewFlatButton(pnlStatus, QStringLiteral("btnClearFilter"),
                                   QStringLiteral("清除筛选行中的全部条件（在筛选行中按 Esc）"), {}, QStringLiteral("清除筛选"));
    btnClearFilter->hide();
    statusLayout->addWidget(btnClearFilter);
    gridLayout->addWidget(pnlStatus);

    // The progress panel floats over the grid; it is the form's own, so that it
    // stays usable while the rest of the window takes no input.
    pnprocess = new TProgressPanel(form, ngdBudgetAdj);
    pnprocess->NameParts({QStringLiteral("pnprocess"), QStringLiteral("Label4"), QStringLiteral("Label5"),
                          QStringLiteral("pbProcess"), QStringLiteral("btnProcessCancel")});

    DytDept = NewUnitTree(this, QStringLiteral("DytDept"), UnitTreeImage(false), UnitTreeImage(true));
    pnlFind = new TTreeFindBar(pnlLeft, DytDept, this);
    auto* left = static_cast<QVBoxLayout*>(pnlLeft->layout());
    left->insertWidget(left->indexOf(trvList), pnlFind);

    // What every record grid has: the filter row, 复制 and the filter row switch.
    const TGridFeatures f =
        AddGridFeatures(ngdBudgetAdj, pmenu, Handle(), [this] { return FGridLoad->Manager(); }, btnClearFilter);
    ngfBudgetAdj = Named(f.FilterRow, QStringLiteral("ngfBudgetAdj"));
    N2 = Named(f.Separator, QStringLiteral("N2"));
    pmuCopy = Named(f.Copy, QStringLiteral("pmuCopy"));
    pmuFilterRow = Named(f.FilterRowSwitch, QStringLiteral("pmuFilterRow"));
}

// ---------------------------------------------------------------- the controls' states

void TbfrmVeltrane::ShowFindBar()
{
    // An operator of a single unit has no tree to search.
    if (trvList->isHidden())
        return;
    // The filters go back to the pane with it.
    if (pnlLeft->isHidden())
        ShowTreePane(true);
    pnlFind->Open();
}

void TbfrmVeltrane::FindUnit(const QString& text, bool next, std::function<void(TResult<QString>)> done)
{
    pnlFind->Find(text, next, std::move(done));
}

void TbfrmVeltrane::ShowTreePane(bool Show)
{
    // The filter boxes live in the tree pane; while it is hidden they move to a
    // strip above the grid, beside the button that brings the pane back.
    // Out of the one layout first: a layout does not take a widget another holds.
    static_cast<QBoxLayout*>((Show ? pnlFilterStrip : Panel1)->layout())->removeWidget(Panel2);
    static_cast<QBoxLayout*>((Show ? Panel1 : pnlFilterStrip)->layout())->insertWidget(1, Panel2);
    Panel2->show();
    pnlFilterStrip->setVisible(!Show);
    pnlLeft->setVisible(Show);
    mnuShowUT->setChecked(Show);
}

void TbfrmVeltrane::Splitter1Moved(int Pos) { sbtnHindUT->move(Pos - 27, sbtnHindUT->y()); }

void TbfrmVeltrane::SetInputBlocked(bool Blocked)
{
    // Everything but the progress panel: no filter, tick or action may change
    // what the run works on.
    pnprocess->BlockInput(Blocked, {pnlBottom, tblChildMain},
                          pmenu->actions() << mitemOption->menuAction() << mitemDataVind->menuAction());
    if (!Blocked)
        UpdateButtons();
}
