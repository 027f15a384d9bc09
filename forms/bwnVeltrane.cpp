#include "forms/bwnVeltrane.h"
#include "budget/gunBudgetAdj.h"
#include "budget/gunLookupLists.h"
#include "data/untDefData.h"
#include "data/untHostRecords.h"
#include "forms/bwnVeltraneSql.h"
#include "forms/untImages.h"
#include "grid/untNextGridManager.h"
#include "plugin/untClassRegist.h"
#include "plugin/untGlobals.h"
#include "toolkit/ComCtrls.h"
#include "toolkit/NextGrid.h"
#include "tree/untDynamicTree.h"
#include <QAction>
#include <QButtonGroup>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QProgressBar>
#include <QRadioButton>
#include <QSplitter>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

const QString ConfirmCaption = QStringLiteral("Korrindel 7.1-操作确认");
const QString InfoCaption = QStringLiteral("Korrindel 7.1-提示信息");

QString SysText(const char* TSysParams::*member)
{
    const TSysParams* p = PubVariables ? PubVariables->SysParams : nullptr;
    return p ? SysParamText(p->*member) : QString();
}

int SysNumber(std::int32_t TSysParams::*member)
{
    const TSysParams* p = PubVariables ? PubVariables->SysParams : nullptr;
    return p ? p->*member : 0;
}

std::int32_t DataYear() { return PubVariables ? PubVariables->DataYear : 0; }
const THostRecord* UnitRecord() { return PubVariables ? PubVariables->UnitRecord : nullptr; }
const THostRecord* UserRecord() { return PubVariables ? PubVariables->UserRecord : nullptr; }

int Ask(const QString& text, const QString& caption, int flags)
{
    return Application ? Application->MessageBox(text, caption, flags) : IDOK;
}

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

TDTFieldType* Def(const char* caption, const char* field, int show, int data, int width, int order, int output)
{
    return NewDTFieldType(QString::fromUtf8(caption), QString::fromLatin1(field), quint8(show), quint8(data),
                          width, order, output);
}

}  // namespace

// ---------------------------------------------------------------- TRadioGroup

TRadioGroup::TRadioGroup(QWidget* parent, const QString& name, const QStringList& items, int columns)
    : QGroupBox(parent)
{
    setObjectName(name);
    FGroup = new QButtonGroup(this);
    FGroup->setExclusive(true);
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(8, 2, 8, 2);
    for (int i = 0; i < items.size(); ++i) {
        auto* b = new QRadioButton(items[i], this);
        b->setObjectName(name + QLatin1Char('_') + QString::number(i));
        FGroup->addButton(b, i);
        grid->addWidget(b, i / columns, i % columns);
        FItems.append(b);
    }
    connect(FGroup, &QButtonGroup::idToggled, this, [this](int id, bool checked) {
        if (checked)
            emit itemIndexChanged(id);
    });
}

int TRadioGroup::ItemIndex() const { return FGroup->checkedId(); }

void TRadioGroup::SetItemIndex(int index)
{
    if (QAbstractButton* b = FGroup->button(index))
        b->setChecked(true);
}

// ---------------------------------------------------------------- column tables

QList<TDTFieldType*> DetailColumnTable(bool OfficeColumns)
{
    return {
        Def("", "chk", 1, 2, 20, 0, 1),
        Def("编号", "budgid", 1, 1, 35, 1, 1),
        Def("预算编码", "eid", 1, 1, 90, 2, 1),
        Def("组织机构代码", "ecode", 0, 1, 95, 3, 1),
        Def("单位名称", "ename", 1, 1, 180, 4, 1),
        Def("科目编码", "bid", 1, 1, 60, 5, 1),
        Def("科目名称", "bname", 1, 1, 130, 6, 1),
        Def("项目编码", "iid", 1, 1, 100, 7, 1),
        Def("项目名称", "iname", 1, 1, 150, 8, 1),
        Def("预算来源编码", "bkid", 0, 1, 60, 9, 1),
        Def("预算来源", "bkname", 1, 1, 90, 10, 1),
        Def("资金性质编码", "mid", 0, 1, 60, 11, 1),
        Def("资金性质", "mname", 1, 1, 70, 12, 1),
        Def("支出类型编码", "ipid", 0, 1, 60, 13, 1),
        Def("支出类型", "ipname", 1, 1, 70, 14, 1),
        Def("支付方式编码", "pid", 0, 1, 60, 15, 1),
        Def("支付方式", "pname", 1, 1, 90, 16, 1),
        Def("经济分类编码", "ekid", 0, 1, 60, 17, 1),
        Def("经济分类", "ekname", 0, 1, 70, 18, 1),
        Def("指标金额(元)", "budgmoney", 1, 0, 120, 19, 1),
        Def("指标金额(万元)", "budgmoney_wy", 1, 0, 120, 19, 1),
        Def("状态", "status", 0, 1, 70, 20, 1),
        Def("原编号", "inibudgid", 0, 1, 45, 21, 1),
        Def("录入日期", "inputdate", 1, 3, 90, 22, 1),
        Def("指标文号", "filename", 1, 3, 100, 23, 1),
        Def("指标子类型", "child", 1, 1, 90, 24, 1),
        Def("所属处室", "burid", 2, 1, 80, 25, 1),
        Def("所属处室", "burname", OfficeColumns ? 1 : 0, 1, 100, OfficeColumns ? 25 : 26, 1),
        Def("涉密", "issecret", 0, 1, 90, 27, 1),
        Def("密级", "secret", 1, 1, 60, 28, 0),
        Def("序号", "NumId", 1, 1, 80, 30, 0),
    };
}

QList<TDTFieldType*> SummaryColumnTable()
{
    return {
        Def("", "chk", 1, 2, 20, 0, 1),
        Def("预算编码", "eid", 1, 1, 90, 1, 1),
        Def("单位名称", "ename", 0, 1, 180, 2, 1),
        Def("科目编码", "bid", 1, 1, 60, 3, 5),
        Def("科目名称", "bname", 1, 1, 130, 4, 1),
        Def("项目编码", "iid", 1, 1, 100, 5, 1),
        Def("项目名称", "iname", 1, 1, 150, 6, 1),
        Def("资金性质编码", "mid", 0, 1, 60, 7, 1),
        Def("资金性质", "mname", 1, 1, 70, 8, 1),
        Def("预算来源编码", "bkid", 0, 1, 60, 9, 1),
        Def("预算来源", "bkname", 1, 1, 90, 10, 1),
        Def("支出类型编码", "ipid", 0, 1, 60, 11, 1),
        Def("支出类型", "ipname", 1, 1, 70, 12, 1),
        Def("支付方式编码", "pid", 0, 1, 60, 13, 1),
        Def("支付方式", "pname", 1, 1, 90, 14, 1),
        Def("指标金额(元)", "budgmoney", 1, 0, 120, 15, 1),
        Def("指标金额(万元)", "budgmoney_wy", 1, 0, 120, 15, 1),
        Def("序号", "NumId", 1, 1, 80, 16, 0),
    };
}

// ---------------------------------------------------------------- TbfrmVeltrane

TbfrmVeltrane::TbfrmVeltrane(TComponent* AOwner) : TfrmBsTrvTC(AOwner)
{
    SetName(QStringLiteral("bfrmVeltrane"));
    QWidget* form = Handle();
    form->setObjectName(QStringLiteral("bfrmVeltrane"));
    SetCaption(QStringLiteral("支付范围划分确认"));
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
    for (QAction* a : {mnuConfirm, mnuCancel}) {
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

    // Record area: the status choice above the grid, which takes the whole right pane.
    pnlBBotton->hide();
    Splitter2->handle(1)->hide();
    auto* topLayout = static_cast<QVBoxLayout*>(pnlBTop->layout());
    topLayout->removeWidget(pnlTopMessage);
    topLayout->insertWidget(0, pnlTopMessage);
    pnlTopMessage->setFixedHeight(33);
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

    pnprocess = new QFrame(pnlRightTop);
    pnprocess->setObjectName(QStringLiteral("pnprocess"));
    pnprocess->setFrameShape(QFrame::Panel);
    pnprocess->setFrameShadow(QFrame::Raised);
    auto* proc = new QVBoxLayout(pnprocess);
    auto* l1 = new QLabel(QStringLiteral("正在提取数据："), pnprocess);
    l1->setObjectName(QStringLiteral("Label4"));
    auto* l2 = new QLabel(QStringLiteral("进度："), pnprocess);
    l2->setObjectName(QStringLiteral("Label5"));
    pbProcess = new QProgressBar(pnprocess);
    pbProcess->setObjectName(QStringLiteral("pbProcess"));
    proc->addWidget(l1);
    proc->addWidget(l2);
    proc->addWidget(pbProcess);
    pnprocess->setGeometry(100, 150, 300, 90);
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

    // Wiring.
    trvList->OnChange = [this](QObject*, TTreeNode* node) { trvListChange(node); };
    connect(rgpShowEid, &TRadioGroup::itemIndexChanged, this, [this] { rgpShowEidClick(); });
    connect(cobBType, qOverload<int>(&QComboBox::currentIndexChanged), this, [this] { cobMidChange(); });
    connect(cobSecret, qOverload<int>(&QComboBox::currentIndexChanged), this, [this] { cobSecretChange(); });
    for (QRadioButton* b : {rbtnNO, rbtnOK, rbtnSum, rbtnDetail})
        connect(b, &QRadioButton::toggled, this, [this](bool on) {
            if (on)
                rbtnNOClick();
        });
    connect(mnuShowUT, &QAction::triggered, this, [this] { mnuShowUTClick(); });
    connect(sbtnHindUT, &QToolButton::clicked, this, [this] { sbtnHindUTClick(); });
    connect(Splitter1, &QSplitter::splitterMoved, this, [this](int pos, int) { Splitter1Moved(pos); });
    connect(tbtnColse, &QToolButton::clicked, this, [this] { tbtnColseClick(); });
    connect(mnuColse, &QAction::triggered, this, [this] { tbtnColseClick(); });
    connect(pmuAll, &QAction::triggered, this, [this] { pmuAllClick(); });
    connect(pmuClear, &QAction::triggered, this, [this] { pmuClearClick(); });
    connect(tbtnConfirm, &QToolButton::clicked, this, [this] { tbtnConfirmClick(); });
    connect(mnuConfirm, &QAction::triggered, this, [this] { tbtnConfirmClick(); });
    connect(tbtnCancel, &QToolButton::clicked, this, [this] { tbtnCancelClick(); });
    connect(mnuCancel, &QAction::triggered, this, [this] { tbtnCancelClick(); });
    connect(tbtnMod, &QToolButton::clicked, this, [this] { tbtnModClick(); });
    ngdBudgetAdj->OnDblClick = [this](TNextGrid*) { tbtnModClick(); };
    connect(tbtnDel, &QToolButton::clicked, this, [this] { tbtnDelClick(); });
    BuildFindBar();
    BuildGridFeatures();
    BuildOutputActions();
}

TbfrmVeltrane::~TbfrmVeltrane()
{
    // The tree goes first: clearing it must not raise selection changes into a
    // window that is half gone.
    if (trvList)
        trvList->OnChange = nullptr;
    if (DytDept)
        DytDept->Free();
    ReplaceGridManager(nullptr);
}

void TbfrmVeltrane::FormCreate()
{
    TfrmBsCld::FormCreate();
    const QString code = RecordFieldText(UnitRecord(), 0);
    if (IsSingleUnit(UnitRecord())) {
        trvList->hide();
        rgpShowEid->hide();
        Panel1->setFixedHeight(150);
        FUnitCode = code;
    } else {
        FUnitCode = code.left(3);
    }
    FBudgetAdjManage = new TBudgetAdjManage(this);
}

void TbfrmVeltrane::FormShow()
{
    TfrmBase::FormShow();
    ++FShowing;
    FDeptClassReported = false;
    FillSecretList(cobSecret, true);
    FillBudgetTypeList(cobBType, false, true);
    FBType = QString::number(cobBType->currentIndex());
    BuildDeptTree();
    LoadRecords();
    UpdateButtons();
    --FShowing;
}

void TbfrmVeltrane::FormClose(TCloseAction& Action)
{
    TfrmBsCld::FormClose(Action);
    ReplaceGridManager(nullptr);
    FreeAndNil(FBudgetAdjManage);
}

void TbfrmVeltrane::BuildDeptTree()
{
    const QString code = RecordFieldText(UnitRecord(), 0);
    const QString prefix = code.left(qMax<qsizetype>(0, code.size() - 3));
    TAdoConn* conn = DefConnection();
    const QString sql = DeptTreeSQL(conn, prefix, rgpShowEid->ItemIndex() == 0);
    DytDept->SetActive(false);
    DytDept->SetAdoConn(conn);
    DytDept->SetSqlTable({sql});
    DytDept->SetFieldId(QStringLiteral("eid"));
    DytDept->SetFieldPid(QStringLiteral("peid"));
    DytDept->SetFieldIsLeaf(QStringLiteral("leafflag"));
    DytDept->SetFieldCaption(QStringLiteral("ename"));
    DytDept->SetFieldText(QStringLiteral("tname"));
    DytDept->SetTopVirNodeIdValue(prefix.left(qMax<qsizetype>(0, prefix.size() - 3)));
    DytDept->SetValueIsLeaf(QStringLiteral("0"));
    DytDept->SetTopVirNodeTitle(QStringLiteral("预算单位"));
    DytDept->SetTreeView(trvList);
    DytDept->SetActive(true);
}

void TbfrmVeltrane::trvListChange(TTreeNode* Node)
{
    if (!Node)
        return;
    if (Node == trvList->GetFirstNode()) {
        FUnitCode = RecordFieldText(UnitRecord(), 0).left(3);
    } else if (auto* info = static_cast<TItemInfo*>(Node->Data())) {
        FUnitCode = info->Id;
    } else {
        return;
    }
    LoadRecords();
}

void TbfrmVeltrane::rgpShowEidClick()
{
    BuildDeptTree();
    UpdateButtons();
}

void TbfrmVeltrane::cobMidChange()
{
    FBType = QString::number(cobBType->currentIndex());
    LoadRecords();
}

void TbfrmVeltrane::cobSecretChange() { LoadRecords(); }

void TbfrmVeltrane::rbtnNOClick() { LoadRecords(); }

void TbfrmVeltrane::mnuShowUTClick()
{
    const bool show = pnlLeft->isHidden();
    pnlLeft->setVisible(show);
    mnuShowUT->setChecked(show);
}

void TbfrmVeltrane::sbtnHindUTClick()
{
    pnlLeft->hide();
    mnuShowUT->setChecked(false);
}

void TbfrmVeltrane::Splitter1Moved(int Pos)
{
    sbtnHindUT->move(Pos - 27, sbtnHindUT->y());
}

void TbfrmVeltrane::tbtnColseClick() { Close(); }

void TbfrmVeltrane::TickAll(const QString& Text)
{
    const int rows = ngdBudgetAdj->RowCount();
    for (int r = 0; r < rows; ++r) {
        // Ticks only what the filter shows; clearing clears every row.
        if (Text == QLatin1String("True") && !ngdBudgetAdj->IsRowShown(r))
            continue;
        ngdBudgetAdj->SetCells(0, r, Text);
    }
}

void TbfrmVeltrane::pmuAllClick() { TickAll(QStringLiteral("True")); }
void TbfrmVeltrane::pmuClearClick() { TickAll(QStringLiteral("false")); }

void TbfrmVeltrane::tbtnModClick() {}

QString TbfrmVeltrane::CellText(int Row, const QString& FieldName) const
{
    QString value;
    if (FGridManager)
        FGridManager->GetCellValue(ngdBudgetAdj, Row, FieldName, value);
    return value;
}

bool TbfrmVeltrane::IsTicked(int Row) const
{
    return CellText(Row, QStringLiteral("chk")) == QLatin1String("True");
}

int TbfrmVeltrane::FirstTickedRow() const
{
    const int rows = ngdBudgetAdj->RowCount();
    for (int r = 0; r < rows; ++r)
        if (IsTicked(r))
            return r;
    return -1;
}

void TbfrmVeltrane::tbtnConfirmClick()
{
    if (FirstTickedRow() < 0) {
        Ask(QStringLiteral("请选择需要确认的预算指标信息!"), ConfirmCaption, MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    SetCheckedStatus(QStringLiteral("1"));
}

void TbfrmVeltrane::tbtnCancelClick()
{
    if (FirstTickedRow() < 0) {
        Ask(QStringLiteral("请选择需要确认的预算指标信息!"), ConfirmCaption, MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    SetCheckedStatus(QStringLiteral("0"));
}

void TbfrmVeltrane::SetCheckedStatus(const QString& Status)
{
    const std::int32_t year = DataYear();
    const QString deptClass = RecordFieldText(UnitRecord(), 4);
    const bool summary = rbtnSum->isChecked();
    const int rows = ngdBudgetAdj->RowCount();
    for (int r = 0; r < rows; ++r) {
        if (!IsTicked(r))
            continue;
        QString sql;
        if (summary) {
            const TSummaryKey key{CellText(r, QStringLiteral("eid")),  CellText(r, QStringLiteral("mid")),
                                  CellText(r, QStringLiteral("bkid")), CellText(r, QStringLiteral("pid")),
                                  CellText(r, QStringLiteral("ipid")), CellText(r, QStringLiteral("bid")),
                                  CellText(r, QStringLiteral("iid"))};
            sql = SummaryStatusSQL(DefConnection(), Status, year, FBType, deptClass, key);
        } else {
            sql = DetailStatusSQL(DefConnection(), Status, CellText(r, QStringLiteral("budgid")), year);
        }
        // One statement per row, no transaction: a failed row keeps its status and
        // stays in the reloaded view.
        ExecDefSQL(sql);
    }
    LoadRecords();
}

void TbfrmVeltrane::tbtnDelClick()
{
    if (FirstTickedRow() < 0)
        return;
    if (SysText(&TSysParams::AskBeforeDelete) == QLatin1String("1")
        && Ask(QStringLiteral("是否删除选中数据？"), InfoCaption, MB_YESNO | MB_ICONQUESTION) != IDYES)
        return;
    TBudgetAdj record(nullptr);
    const QString deptClass = RecordFieldText(UnitRecord(), 4);
    const bool summary = rbtnSum->isChecked();
    int deleted = 0, failed = 0;
    const int rows = ngdBudgetAdj->RowCount();
    for (int r = 0; r < rows; ++r) {
        if (!IsTicked(r))
            continue;
        record.DataYear = DataYear();
        bool ok;
        if (summary) {
            const TSummaryKey key{CellText(r, QStringLiteral("eid")),  CellText(r, QStringLiteral("mid")),
                                  CellText(r, QStringLiteral("bkid")), CellText(r, QStringLiteral("pid")),
                                  CellText(r, QStringLiteral("ipid")), CellText(r, QStringLiteral("bid")),
                                  CellText(r, QStringLiteral("iid"))};
            ok = FBudgetAdjManage->DeleteRecord(&record, SummaryDeleteCondition(DefConnection(), FBType, deptClass, key));
        } else {
            record.BudgId = CellText(r, QStringLiteral("budgid"));
            ok = FBudgetAdjManage->DeleteRecord(&record, QString());
        }
        if (ok) {
            ++deleted;
        } else {
            ++failed;
            Ask(QStringLiteral("删除数据失败！。"), InfoCaption, MB_OK | MB_ICONINFORMATION);
        }
    }
    // Whatever was deleted must leave the grid; success is reported only when
    // every ticked row went.
    if (deleted > 0)
        LoadRecords();
    if (failed == 0 && SysText(&TSysParams::ReportDelete) == QLatin1String("1"))
        Ask(QStringLiteral("数据删除成功。"), InfoCaption, MB_OK | MB_ICONINFORMATION);
}

void TbfrmVeltrane::UpdateButtons()
{
    tbtnConfirm->setEnabled(false);
    tbtnCancel->setEnabled(false);
    if (ngdBudgetAdj->RowCount() == 0)
        return;
    if (rbtnNO->isChecked())
        tbtnConfirm->setEnabled(true);
    if (rbtnOK->isChecked())
        tbtnCancel->setEnabled(true);
}

void TbfrmVeltrane::ReplaceGridManager(TNextGridManager* Manager)
{
    TNextGridManager* old = FGridManager;
    FGridManager = Manager;
    if (old && ngdBudgetAdj) {
        // The grid must never call into a freed manager, also when no load follows.
        ngdBudgetAdj->OnBeforeEdit = nullptr;
        ngdBudgetAdj->OnKeyPress = nullptr;
    }
    delete old;
}

void TbfrmVeltrane::BuildColumns()
{
    const bool officeColumns = SysText(&TSysParams::OfficeColumns) == QLatin1String("0");
    QList<TDTFieldType*> table = rbtnDetail->isChecked() ? DetailColumnTable(officeColumns) : SummaryColumnTable();
    ReplaceGridManager(new TNextGridManager(this, table, QStringLiteral("ngdBudgetAdj")));
    FGridManager->CreateColumns(ngdBudgetAdj);
}

void TbfrmVeltrane::DeptClassMessage()
{
    if (FShowing > 0 && FDeptClassReported)
        return;
    FDeptClassReported = true;
    Ask(QStringLiteral("单位部门类别无效，无法提取预算指标！"), InfoCaption, MB_OK | MB_ICONEXCLAMATION);
}

void TbfrmVeltrane::LoadRecords()
{
    ngdBudgetAdj->ClearRows();
    BuildColumns();
    FLastRecordSQL.clear();

    TRecordFilter f;
    f.Detail = rbtnDetail->isChecked();
    f.Status = rbtnNO->isChecked() ? TStatusView::Unconfirmed
               : rbtnOK->isChecked() ? TStatusView::Confirmed
                                     : TStatusView::Any;
    f.UnitCode = FUnitCode;
    f.BType = FBType;
    f.DataYear = DataYear();
    f.OfficeColumns = SysText(&TSysParams::OfficeColumns) == QLatin1String("0");
    f.OfficeFilter = SysNumber(&TSysParams::OfficeFilter);
    f.OfficeCode = RecordFieldText(UserRecord(), 7);
    if (!DeptClassNumber(RecordFieldText(UnitRecord(), 4), &f.DeptClass)) {
        // Nothing sensible can be asked of the database; the grid stays empty.
        DeptClassMessage();
        UpdateButtons();
        return;
    }
    FLastRecordSQL = RecordQuerySQL(DefConnection(), f);
    FGridManager->LoadRows(ngdBudgetAdj, FLastRecordSQL, true, false, true);
    UpdateButtons();
    AfterRecordsLoaded();
}

void bwnVeltrane_Initialize()
{
    RegisterWindowClass(&TbfrmVeltrane::staticMetaObject);
}

void bwnVeltrane_Finalize() {}
