#include "forms/bwnVeltrane.h"
#include "budget/gunBudgetAdj.h"
#include "budget/gunLookupLists.h"
#include "data/untDefData.h"
#include "data/untHostRecords.h"
#include "forms/bwnVeltraneSql.h"
#include "forms/untImages.h"
#include "forms/untRecordWork.h"
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
#include <QPushButton>
#include <QShortcut>
#include <QTimer>
#include <QRadioButton>
#include <QSplitter>
#include <QToolBar>
#include <QToolButton>
#include <QApplication>
#include <QCoreApplication>
#include <QPointer>
#include <QTreeWidgetItemIterator>
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
    // Short work shows no panel: it would only flicker.
    FProcessTimer = new QTimer(this);
    FProcessTimer->setSingleShot(true);
    FProcessTimer->setInterval(300);
    connect(FProcessTimer, &QTimer::timeout, this, [this] { ShowProcessPanel(); });
    connect(btnProcessCancel, &QPushButton::clicked, this, [this] { CancelWork(); });

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
    connect(sbtnShowUT, &QToolButton::clicked, this, [this] { ShowTreePane(true); });
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
    // The menu items follow their buttons; on an empty grid their keys still say
    // what is missing.
    FEmptyConfirmKey = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_E), form);
    FEmptyCancelKey = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_D), form);
    for (QShortcut* k : {FEmptyConfirmKey, FEmptyCancelKey}) {
        k->setContext(Qt::WidgetWithChildrenShortcut);
        k->setEnabled(false);
    }
    connect(FEmptyConfirmKey, &QShortcut::activated, this, [this] { tbtnConfirmClick(); });
    connect(FEmptyCancelKey, &QShortcut::activated, this, [this] { tbtnCancelClick(); });
    // The status line follows every change of the rows and their ticks, once per
    // turn of the event loop however many cells changed.
    TNextGridModel* model = ngdBudgetAdj->Model();
    connect(model, &QAbstractItemModel::dataChanged, this, [this] { ScheduleStatus(); });
    connect(model, &QAbstractItemModel::modelReset, this, [this] { ScheduleStatus(); });
    connect(ngdBudgetAdj, &TNextGrid::ticksChanged, this, [this] { ScheduleStatus(); });
    connect(ngdBudgetAdj, &TNextGrid::shownRowsChanged, this, [this] { ScheduleStatus(); });
    UpdateStatus();
    BuildFindBar();
    BuildGridFeatures();
    BuildOutputActions();
}

TbfrmVeltrane::~TbfrmVeltrane()
{
    // Work on the workers ends first: it holds the connection and reports here.
    if (FRun) {
        FRun->OnTerminate = nullptr;
        delete FRun;   // stops after the statement in flight
        FRun = nullptr;
    }
    DropLoads();
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
        // Without the tree the filters stay at the top of the pane.
        static_cast<QVBoxLayout*>(pnlLeft->layout())->addStretch(1);
        FUnitCode = code;
    } else {
        FUnitCode = FirstCharacters(code, 3);
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
    RestoreSettings();
    if (QWidget* frame = Frame())
        frame->setWindowIcon(Handle()->windowIcon());
}

void TbfrmVeltrane::FormClose(TCloseAction& Action)
{
    // A run in progress is not cut short unseen: the window stays until it ends
    // or the user stops it, and then says what was done.
    if (Running()) {
        Action = caNone;
        Ask(QStringLiteral("正在处理选中的预算指标，请等待完成或点击“取消”后再关闭窗口。"), InfoCaption,
            MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    SaveSettings();
    TfrmBsCld::FormClose(Action);
    DropLoads();
    ReplaceGridManager(nullptr);
    FreeAndNil(FBudgetAdjManage);
}

void TbfrmVeltrane::BuildDeptTree()
{
    const QString code = RecordFieldText(UnitRecord(), 0);
    const QString prefix = WithoutLastCharacters(code, 3);
    TAdoConn* conn = DefConnection();
    QString sql;
    try {
        sql = DeptTreeSQL(conn, prefix, rgpShowEid->ItemIndex() == 0);
    } catch (const Exception& e) {
        DytDept->SetActive(false);
        Ask(QStringLiteral("无法加载单位树：%1").arg(e.Message()), InfoCaption, MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    DytDept->SetActive(false);
    DytDept->SetAdoConn(conn);
    DytDept->SetSqlTable({sql});
    DytDept->SetFieldId(QStringLiteral("eid"));
    DytDept->SetFieldPid(QStringLiteral("peid"));
    DytDept->SetFieldIsLeaf(QStringLiteral("leafflag"));
    DytDept->SetFieldCaption(QStringLiteral("ename"));
    DytDept->SetFieldText(QStringLiteral("tname"));
    DytDept->SetTopVirNodeIdValue(WithoutLastCharacters(prefix, 3));
    DytDept->SetValueIsLeaf(QStringLiteral("0"));
    DytDept->SetTopVirNodeTitle(QStringLiteral("预算单位"));
    DytDept->SetTreeView(trvList);
    DytDept->SetActive(true);
    // A tree whose query the database refused would read as a range without units.
    if (!DytDept->LoadError().isEmpty())
        Ask(QStringLiteral("无法加载单位树：%1").arg(DytDept->LoadError()), InfoCaption, MB_OK | MB_ICONEXCLAMATION);
}

void TbfrmVeltrane::trvListChange(TTreeNode* Node)
{
    // While the tree is rebuilt the selection it makes is not yet the user's.
    if (!Node || FTreeRebuilding)
        return;
    if (Node == trvList->GetFirstNode()) {
        FUnitCode = FirstCharacters(RecordFieldText(UnitRecord(), 0), 3);
    } else if (auto* info = static_cast<TItemInfo*>(Node->Data())) {
        FUnitCode = info->Id;
    } else {
        return;
    }
    LoadRecords();
}

void TbfrmVeltrane::rgpShowEidClick()
{
    // The unit the user works on stays selected when the other list holds it too,
    // and the records are loaded once, for the unit selected at the end.
    TTreeNode* before = trvList->Selected();
    const bool wasTop = before && before == trvList->GetFirstNode();
    const auto* beforeInfo = before ? static_cast<TItemInfo*>(before->Data()) : nullptr;
    const QString keep = beforeInfo && beforeInfo->Kind == 1 ? beforeInfo->Id : QString();
    FTreeRebuilding = true;
    BuildDeptTree();
    FTreeRebuilding = false;
    TTreeNode* node = nullptr;
    if (wasTop)
        node = trvList->GetFirstNode();
    for (QTreeWidgetItemIterator it(trvList); *it && !node && !keep.isEmpty(); ++it) {
        auto* n = static_cast<TTreeNode*>(*it);
        const auto* info = static_cast<TItemInfo*>(n->Data());
        if (info && info->Kind == 1 && info->Id == keep)
            node = n;
    }
    if (node && node != trvList->Selected()) {
        trvList->scrollToItem(node);
        trvList->SetSelected(node);   // raises trvListChange, which loads
    } else {
        trvListChange(trvList->Selected());
    }
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
    ShowTreePane(pnlLeft->isHidden());
}

void TbfrmVeltrane::sbtnHindUTClick()
{
    ShowTreePane(false);
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

void TbfrmVeltrane::Splitter1Moved(int Pos)
{
    sbtnHindUT->move(Pos - 27, sbtnHindUT->y());
}

void TbfrmVeltrane::tbtnColseClick() { Close(); }

void TbfrmVeltrane::TickAll(const QString& Text)
{
    // Ticks only what the filter shows; clearing clears every row. One write for
    // the column: a quarter of a million rows ticked at once stay quick.
    const bool tick = Text == QLatin1String("True");
    const int rows = ngdBudgetAdj->RowCount();
    std::vector<int> which;
    which.reserve(size_t(rows));
    for (int r = 0; r < rows; ++r)
        if (!tick || ngdBudgetAdj->IsRowShown(r))
            which.push_back(r);
    ngdBudgetAdj->SetColumnCells(0, which, Text);
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

int TbfrmVeltrane::TickColumn() const
{
    return FGridManager ? ngdBudgetAdj->Columns().FindByName(QStringLiteral("chk")) : -1;
}

int TbfrmVeltrane::FirstTickedRow() const
{
    // The column is looked up once: a grid may hold hundreds of thousands of rows.
    const int chk = TickColumn();
    if (chk < 0)
        return -1;
    const TNextGridModel* model = ngdBudgetAdj->Model();
    const int rows = ngdBudgetAdj->RowCount();
    for (int r = 0; r < rows; ++r)
        if (model->TextIsTicked(chk, r))
            return r;
    return -1;
}

bool TbfrmVeltrane::ActionAllowed(QToolButton* Button)
{
    if (Running())
        return false;
    if (Button->isEnabled())
        return true;
    // A disabled action does nothing: Ctrl+D in the unconfirmed view would take
    // back confirmations the user cannot see. On an empty grid its key still
    // says what is missing.
    if (ngdBudgetAdj->RowCount() == 0 && !Busy())
        Ask(QStringLiteral("请选择需要确认的预算指标信息!"), ConfirmCaption, MB_OK | MB_ICONEXCLAMATION);
    return false;
}

void TbfrmVeltrane::tbtnConfirmClick()
{
    if (!ActionAllowed(tbtnConfirm))
        return;
    if (FirstTickedRow() < 0) {
        Ask(QStringLiteral("请选择需要确认的预算指标信息!"), ConfirmCaption, MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    SetCheckedStatus(QStringLiteral("1"));
}

void TbfrmVeltrane::tbtnCancelClick()
{
    if (!ActionAllowed(tbtnCancel))
        return;
    if (FirstTickedRow() < 0) {
        Ask(QStringLiteral("请选择需要确认的预算指标信息!"), ConfirmCaption, MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    SetCheckedStatus(QStringLiteral("0"));
}

QStringList TbfrmVeltrane::MissingKeyColumns() const
{
    // The cells a statement is made of: without one of them a row cannot be
    // told from its neighbours (an empty eid would reach every unit).
    static const QStringList summary{QStringLiteral("eid"), QStringLiteral("mid"), QStringLiteral("bkid"),
                                     QStringLiteral("pid"), QStringLiteral("ipid"), QStringLiteral("bid"),
                                     QStringLiteral("iid")};
    static const QStringList detail{QStringLiteral("budgid")};
    QStringList missing;
    for (const QString& name : rbtnSum->isChecked() ? summary : detail)
        if (ngdBudgetAdj->Columns().FindByName(name) < 0)
            missing << name;
    return missing;
}

bool TbfrmVeltrane::CheckKeyColumns()
{
    const QStringList missing = MissingKeyColumns();
    if (missing.isEmpty())
        return true;
    Ask(QStringLiteral("表格中缺少列 %1，无法确定选中行对应的预算指标，没有修改任何数据。").arg(missing.join(QStringLiteral("、"))),
        InfoCaption, MB_OK | MB_ICONEXCLAMATION);
    return false;
}

std::vector<TRunRow> TbfrmVeltrane::TickedRows(bool Summary, QString* Unidentified) const
{
    static const char* const summaryKeys[] = {"eid", "mid", "bkid", "pid", "ipid", "bid", "iid"};
    std::vector<TRunRow> out;
    const int chk = TickColumn();
    if (chk < 0)
        return out;
    const int moneyCol = ngdBudgetAdj->Columns().FindByName(QStringLiteral("budgmoney"));
    // Columns by name once, not once a row; a missing one reads as empty.
    std::vector<int> keyCols;
    if (Summary) {
        for (const char* key : summaryKeys)
            keyCols.push_back(ngdBudgetAdj->Columns().FindByName(QLatin1String(key)));
    } else {
        keyCols.push_back(ngdBudgetAdj->Columns().FindByName(QStringLiteral("budgid")));
    }
    const TNextGridModel* model = ngdBudgetAdj->Model();
    const int rows = ngdBudgetAdj->RowCount();
    const int footer = ngdBudgetAdj->FooterRow();
    for (int r = 0; r < rows; ++r) {
        // The totals row stands for no record; rows the filter hides are not the user's choice now.
        if (r == footer || !model->TextIsTicked(chk, r) || !ngdBudgetAdj->IsRowShown(r))
            continue;
        TRunRow row;
        row.Row = r;
        row.Amount = moneyCol >= 0 ? ngdBudgetAdj->CellAsFloat(moneyCol, r) : 0.0;
        for (const int col : keyCols)
            row.Cells << (col < 0 ? QString() : ngdBudgetAdj->Cells(col, r));
        if (row.Cells.first().isEmpty()) {
            if (Unidentified && Unidentified->isEmpty())
                *Unidentified = QStringLiteral("第 %1 行没有%2，无法确定对应的预算指标").arg(r + 1).arg(
                    Summary ? QStringLiteral("预算编码") : QStringLiteral("编号"));
            row.Cells.clear();   // never written
        }
        out.push_back(std::move(row));
    }
    return out;
}

void TbfrmVeltrane::SetCheckedStatus(const QString& Status)
{
    StartRun(Status == QLatin1String("1") ? TRunKind::Confirm : TRunKind::Cancel, Status);
}

void TbfrmVeltrane::tbtnDelClick()
{
    if (Running() || FirstTickedRow() < 0)
        return;
    if (SysText(&TSysParams::AskBeforeDelete) == QLatin1String("1")
        && Ask(QStringLiteral("是否删除选中数据？"), InfoCaption, MB_YESNO | MB_ICONQUESTION) != IDYES)
        return;
    StartRun(TRunKind::Delete, QString());
}

void TbfrmVeltrane::StartRun(TRunKind Kind, const QString& Status)
{
    if (Running() || !CheckKeyColumns())
        return;
    const bool summary = rbtnSum->isChecked();
    QString unidentified;
    std::vector<TRunRow> rows = TickedRows(summary, &unidentified);
    if (rows.empty()) {
        // Only the totals row (or hidden rows) ticked: nothing stands for a record.
        Ask(QStringLiteral("请选择需要确认的预算指标信息!"), ConfirmCaption, MB_OK | MB_ICONEXCLAMATION);
        return;
    }

    const std::int32_t year = DataYear();
    const QString deptClass = RecordFieldText(UnitRecord(), 4);
    const QString btype = FBType;
    TBudgetAdjManage* manage = FBudgetAdjManage;
    TStatusRun::TSend send;
    if (Kind == TRunKind::Delete) {
        send = [manage, year, btype, deptClass, summary](TAdoConn* conn, const TRunRow& row) -> TRunResult {
            if (row.Cells.isEmpty())
                return {false, QStringLiteral("无法确定对应的预算指标"), false};
            TBudgetAdj record(nullptr);
            record.DataYear = year;
            QString condition;
            if (summary)
                condition = SummaryDeleteCondition(conn, btype, deptClass,
                                                   {row.Cells[0], row.Cells[1], row.Cells[2], row.Cells[3],
                                                    row.Cells[4], row.Cells[5], row.Cells[6]});
            else
                record.BudgId = row.Cells[0];
            TRunResult r;
            r.Ok = manage->DeleteRecord(&record, condition, &r.Error, &r.Persistent);
            return r;
        };
    } else {
        send = [Status, year, btype, deptClass, summary](TAdoConn* conn, const TRunRow& row) -> TRunResult {
            if (row.Cells.isEmpty())
                return {false, QStringLiteral("无法确定对应的预算指标"), false};
            const QString sql =
                summary ? SummaryStatusSQL(conn, Status, year, btype, deptClass,
                                           {row.Cells[0], row.Cells[1], row.Cells[2], row.Cells[3], row.Cells[4],
                                            row.Cells[5], row.Cells[6]})
                        : DetailStatusSQL(conn, Status, row.Cells[0], year);
            ExecSQL(conn, sql);   // a failure raises, with its kind
            return {true, QString(), false};
        };
    }

    FRunKind = Kind;
    FRunStatus = Status;
    FWrittenSinceLoad = true;
    const int cancelAfter = FCancelAfter;
    FCancelAfter = -1;
    FRun = new TStatusRun(DefConnection(), std::move(rows), std::move(send), cancelAfter,
                          [this](int done, int total) { RunProgress(done, total); });
    FRun->OnTerminate = [this](TThread*) { RunFinished(); };
    if (!unidentified.isEmpty())
        FRunText = unidentified;
    Label4->setText(Kind == TRunKind::Confirm  ? QStringLiteral("正在确认…")
                    : Kind == TRunKind::Cancel ? QStringLiteral("正在撤销…")
                                               : QStringLiteral("正在删除…"));
    RunProgress(0, FRun->Total());
    SetInputBlocked(true);
    FProcessTimer->start();
    FRun->Resume();
}

void TbfrmVeltrane::RunProgress(int Done, int Total)
{
    Label5->setText(QStringLiteral("进度：%1 / %2 行").arg(Done).arg(Total));
    pbProcess->setRange(0, qMax(1, Total));
    pbProcess->setValue(Done);
}

void TbfrmVeltrane::RunFinished()
{
    TStatusRun* run = FRun;
    if (!run)
        return;
    FRun = nullptr;
    run->OnTerminate = nullptr;
    // Deleted once its completion has fully returned.
    run->deleteLater();
    SetInputBlocked(false);
    if (!Busy()) {
        FProcessTimer->stop();
        pnprocess->hide();
    }

    const QString verb = FRunKind == TRunKind::Confirm  ? QStringLiteral("确认")
                         : FRunKind == TRunKind::Cancel ? QStringLiteral("撤销")
                                                        : QStringLiteral("删除");
    const int notAttempted = run->Total() - run->Attempted;
    QString line = QStringLiteral("已%1 %2 条，金额 %3 元")
                       .arg(verb)
                       .arg(run->Succeeded)
                       .arg(FormatNumberMask(QStringLiteral("#,##0.00"), GeneralFloatText(run->SucceededAmount)));
    if (run->Failed > 0)
        line += QStringLiteral("；%1 条失败").arg(run->Failed);
    if (run->Cancelled)
        line = QStringLiteral("已取消：") + line + QStringLiteral("；%1 条未处理").arg(notAttempted);
    else if (run->Stopped && notAttempted > 0)
        line += QStringLiteral("；%1 条未处理").arg(notAttempted);
    FRunText = line;

    // What succeeded leaves the view; what failed stays in it.
    if (FRunKind != TRunKind::Delete || run->Succeeded > 0)
        LoadRecords();
    UpdateStatus();

    if (run->Failed > 0) {
        const QString head = FRunKind == TRunKind::Delete ? QStringLiteral("删除数据失败！。")
                                                          : QStringLiteral("%1预算指标时出错。").arg(verb);
        QString text = head + QStringLiteral("\n成功 %1 行，失败 %2 行").arg(run->Succeeded).arg(run->Failed);
        if (notAttempted > 0)
            text += QStringLiteral("，未处理 %1 行（保持原状态）").arg(notAttempted);
        text += QStringLiteral("。\n错误：") + run->FirstError;
        Ask(text, InfoCaption, MB_OK | MB_ICONEXCLAMATION);
    } else if (FRunKind == TRunKind::Delete && !run->Cancelled
               && SysText(&TSysParams::ReportDelete) == QLatin1String("1")) {
        Ask(QStringLiteral("数据删除成功。"), InfoCaption, MB_OK | MB_ICONINFORMATION);
    }
}

void TbfrmVeltrane::CancelWork()
{
    if (FRun) {
        FRun->Cancel();
        return;
    }
    if (!FLoads.empty()) {
        // The grid stays as it is now: without the rows of the dropped load.
        DropLoads();
        ++FLoadGeneration;
        FLoadState = TLoadState::Failed;
        FRunText = QStringLiteral("已取消提取数据");
        FProcessTimer->stop();
        pnprocess->hide();
        UpdateButtons();
        UpdateStatus();
    }
}

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
    pnprocess->setGeometry(r);
}

void TbfrmVeltrane::ShowProcessPanel()
{
    if (!Busy())
        return;
    if (!Running()) {
        Label4->setText(QStringLiteral("正在提取数据："));
        Label5->setText(QStringLiteral("进度：正在查询数据库…"));
        pbProcess->setRange(0, 0);   // a query tells nothing of its progress
    }
    PlaceProcessPanel();
    pnprocess->show();
    pnprocess->raise();
}

bool TbfrmVeltrane::Busy() const
{
    return FRun != nullptr || !FLoads.empty();
}

void TbfrmVeltrane::WaitIdle()
{
    QPointer<TbfrmVeltrane> self(this);
    // Sleeps until an event comes: the end of a worker's body always posts one.
    while (self && self->Busy())
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    if (self)
        QCoreApplication::processEvents();
}

void TbfrmVeltrane::ScheduleStatus()
{
    if (FStatusPending)
        return;
    FStatusPending = true;
    QTimer::singleShot(0, this, [this] {
        FStatusPending = false;
        UpdateStatus();
    });
}

void TbfrmVeltrane::UpdateStatus()
{
    const int rows = ngdBudgetAdj->RowCount();
    const int footer = ngdBudgetAdj->FooterRow();
    const int chk = ngdBudgetAdj->Columns().FindByName(QStringLiteral("chk"));
    const int money = ngdBudgetAdj->Columns().FindByName(QStringLiteral("budgmoney"));
    const TNextGridModel* model = ngdBudgetAdj->Model();
    int shown = 0, ticked = 0;
    double amount = 0;
    for (int r = 0; r < rows; ++r) {
        if (r == footer || !ngdBudgetAdj->IsRowShown(r))
            continue;
        ++shown;
        if (chk >= 0 && model->TextIsTicked(chk, r)) {
            ++ticked;
            if (money >= 0)
                amount += model->Number(money, r);
        }
    }
    QString text = QStringLiteral("共 %1 条　已选 %2 条　金额 %3 元")
                       .arg(shown)
                       .arg(ticked)
                       .arg(FormatNumberMask(QStringLiteral("#,##0.00"), TotalText(amount)));
    if (!FRunText.isEmpty())
        text += QStringLiteral("　｜　") + FRunText;
    lblStatus->setText(text);
    // The whole line, for a window too narrow to show it.
    lblStatus->setToolTip(text);
}

QString TbfrmVeltrane::StatusText() const
{
    return lblStatus ? lblStatus->text() : QString();
}

void TbfrmVeltrane::UpdateButtons()
{
    tbtnConfirm->setEnabled(false);
    tbtnCancel->setEnabled(false);
    if (ngdBudgetAdj->RowCount() > 0 && !Running()) {
        if (rbtnNO->isChecked())
            tbtnConfirm->setEnabled(true);
        if (rbtnOK->isChecked())
            tbtnCancel->setEnabled(true);
    }
    // The menu items and their keys act exactly when their buttons do.
    mnuConfirm->setEnabled(tbtnConfirm->isEnabled());
    mnuCancel->setEnabled(tbtnCancel->isEnabled());
    const bool empty = ngdBudgetAdj->RowCount() == 0 && !Running();
    FEmptyConfirmKey->setEnabled(empty);
    FEmptyCancelKey->setEnabled(empty);
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

void TbfrmVeltrane::DropLoads()
{
    for (TRecordLoad* load : FLoads) {
        load->OnTerminate = nullptr;
        delete load;   // cancels it and waits for its body to give up
    }
    FLoads.clear();
}

void TbfrmVeltrane::LoadRecords()
{
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
    QString sql;
    QString failure;
    if (!DeptClassNumber(RecordFieldText(UnitRecord(), 4), &f.DeptClass)) {
        failure = QStringLiteral("dept");
    } else {
        try {
            sql = RecordQuerySQL(DefConnection(), f);
        } catch (const Exception& e) {
            failure = e.Message();
        }
    }

    // The grid holds (or is being given) the rows of this very statement, and
    // this window wrote nothing since: a second load would bring the same rows.
    if (failure.isEmpty() && sql == FLastRecordSQL && !FWrittenSinceLoad
        && (FLoadState == TLoadState::Loading || FLoadState == TLoadState::Loaded)) {
        UpdateButtons();
        return;
    }

    ++FLoadGeneration;   // what is still loading is stale now
    for (TRecordLoad* load : FLoads)
        load->Cancel();
    ngdBudgetAdj->ClearRows();
    BuildColumns();
    FLastRecordSQL.clear();
    FWrittenSinceLoad = false;
    if (!failure.isEmpty()) {
        FLoadState = TLoadState::Failed;
        // Nothing sensible can be asked of the database; the grid stays empty.
        if (failure == QLatin1String("dept"))
            DeptClassMessage();
        else
            Ask(QStringLiteral("无法提取预算指标：%1").arg(failure), InfoCaption, MB_OK | MB_ICONEXCLAMATION);
        UpdateButtons();
        UpdateStatus();
        return;
    }
    FLastRecordSQL = sql;
    StartLoad(sql);
    UpdateButtons();
}

void TbfrmVeltrane::StartLoad(const QString& SQL)
{
    FLoadState = TLoadState::Loading;
    auto* load = new TRecordLoad(DefConnection(), SQL, FGridManager->PlanLoad(ngdBudgetAdj, true, false, true),
                                 FLoadGeneration);
    load->OnTerminate = [this](TThread* t) { LoadFinished(static_cast<TRecordLoad*>(t)); };
    FLoads.push_back(load);
    if (!Running())
        FProcessTimer->start();
    load->Resume();
}

void TbfrmVeltrane::LoadFinished(TRecordLoad* Load)
{
    std::erase(FLoads, Load);
    Load->OnTerminate = nullptr;
    Load->deleteLater();
    if (!Busy()) {
        FProcessTimer->stop();
        pnprocess->hide();
    }
    // A newer selection made this load stale: its rows are not the ones asked for.
    if (Load->Generation != FLoadGeneration || Load->Cancelled())
        return;
    if (Load->Opened) {
        FLoadState = TLoadState::Loaded;
        FGridManager->ApplyRows(ngdBudgetAdj, std::move(Load->Rows));
        AfterRecordsLoaded();
    } else {
        FLoadState = TLoadState::Failed;
        ngdBudgetAdj->ClearRows();
    }
    UpdateButtons();
    UpdateStatus();
    if (FLoadState == TLoadState::Failed)
        // An empty grid would read as "nothing left to confirm".
        Ask(QStringLiteral("提取预算指标失败：%1").arg(Load->Error), InfoCaption, MB_OK | MB_ICONEXCLAMATION);
}

void bwnVeltrane_Initialize()
{
    RegisterWindowClass(&TbfrmVeltrane::staticMetaObject);
}

void bwnVeltrane_Finalize() {}
