#include "forms/wnBase.h"
#include "plugin/untGlobals.h"
#include <QFont>

TfrmBase::TfrmBase(TComponent* AOwner) : TForm(AOwner)
{
    SetBounds(192, 0, 543, 390);
    SetPosition(poDesktopCenter);
    if (QWidget* w = Handle()) {
        QFont font(QStringLiteral("宋体"));
        font.setPixelSize(12);   // font height -12: 12 pixels of character height at 96 dpi
        font.setStyleHint(QFont::AnyStyle);
        w->setFont(font);
    }
}

TfrmBase::~TfrmBase() = default;

void TfrmBase::FormCreate()
{
    FModalShow = 1;
}

void TfrmBase::FormDestroy()
{
    FModalShow = 0;
}

void TfrmBase::FormShow()
{
    CenterOnScreen(this);
}

void TfrmBase::CenterOnScreen(TForm* AForm)
{
    if (!AForm || !Screen)
        return;
    // C++ integer division truncates toward zero, as the placement asks for windows
    // larger than the screen.
    AForm->SetTop((Screen->Height() - AForm->Height()) / 2);
    AForm->SetLeft((Screen->Width() - AForm->Width()) / 2);
}
