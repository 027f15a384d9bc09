#include "forms/wnBsCld.h"
#include "plugin/untGlobals.h"
#include <QFrame>
#include <QHBoxLayout>
#include <QMenu>
#include <QSettings>
#include <QToolBar>
#include <QVBoxLayout>

TfrmBsCld::TfrmBsCld(TComponent* AOwner) : TfrmBase(AOwner)
{
    QWidget* form = Handle();
    form->setObjectName(QStringLiteral("frmBsCld"));
    SetCaption(QStringLiteral("frmBsCld"));
    SetLeft(395);
    SetTop(451);
    SetPosition(poDefault);

    FFormLayout = new QVBoxLayout(form);
    FFormLayout->setContentsMargins(0, 0, 0, 0);
    FFormLayout->setSpacing(0);

    ctblChild = new QFrame(form);
    ctblChild->setObjectName(QStringLiteral("ctblChild"));
    ctblChild->setFrameShape(QFrame::StyledPanel);
    ctblChild->setFrameShadow(QFrame::Raised);
    ctblChild->setMinimumHeight(39);
    auto* band = new QHBoxLayout(ctblChild);
    band->setContentsMargins(9, 2, 4, 2);
    band->setSpacing(0);

    tblChildMain = new QToolBar(ctblChild);
    tblChildMain->setObjectName(QStringLiteral("tblChildMain"));
    tblChildMain->setMovable(false);
    tblChildMain->setFloatable(false);
    tblChildMain->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    tblChildMain->setIconSize(QSize(16, 16));
    tblChildMain->setMinimumHeight(35);
    band->addWidget(tblChildMain);
    FFormLayout->addWidget(ctblChild);

    mitemOption = AddMenuItem(QStringLiteral("mitemOption"), QStringLiteral("辅助功能(&S)"));
    mitemDataVind = AddMenuItem(QStringLiteral("mitemDataVind"), QStringLiteral("数据操作(&P)"));

    // A created MDI child is made visible at the end of its creation unless
    // FormCreate clears the mark; geometry set above applies to the frame.
    SetFormStyle(fsMDIChild);
    SetWindowState(wsMaximized);
}

TfrmBsCld::~TfrmBsCld() = default;

void TfrmBsCld::FormCreate()
{
    // Shown by the plug-in entry after creation, not by the toolkit during it.
    if (CreatedAsMDIChild())
        SetPendingShow(false);
    TfrmBase::FormCreate();
    FModalShow = 0;
}

void TfrmBsCld::FormShow()
{
    TfrmBase::FormShow();
    if (QWidget* frame = Frame())
        frame->setWindowIcon(Handle()->windowIcon());
}

void TfrmBsCld::FormClose(TCloseAction& Action)
{
    Action = caFree;
}

void TfrmBsCld::SaveFrameState(QSettings& Settings) const
{
    if (QWidget* frame = Frame()) {
        const bool maximized = frame->isMaximized();
        Settings.setValue(QStringLiteral("maximized"), maximized);
        if (!maximized)
            Settings.setValue(QStringLiteral("geometry"), frame->geometry());
    }
}

void TfrmBsCld::RestoreFrameState(const QSettings& Settings)
{
    QRect geometry = Settings.value(QStringLiteral("geometry")).toRect();
    const QSize space = Screen && Screen->Width() > 0 ? QSize(Screen->Width(), Screen->Height()) : QSize(1024, 768);
    if (geometry.isValid() && geometry.width() >= 200 && geometry.height() >= 150) {
        geometry.setSize(geometry.size().boundedTo(space));
        geometry.moveLeft(qBound(0, geometry.left(), qMax(0, space.width() - geometry.width())));
        geometry.moveTop(qBound(0, geometry.top(), qMax(0, space.height() - geometry.height())));
        SetBounds(geometry.left(), geometry.top(), geometry.width(), geometry.height());
    }
    if (Settings.value(QStringLiteral("maximized")).toBool())
        SetWindowState(wsMaximized);
}
