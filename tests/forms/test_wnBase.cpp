#include "forms/wnBase.h"
#include "plugin/untGlobals.h"
#include "plugin/untObjectFactory.h"
#include <gtest/gtest.h>

TEST(RootWindow, StoredLayoutAndModalFlag)
{
    TComponent owner;
    auto* w = qobject_cast<TfrmBase*>(TObjectFactory::CreateComponent(&owner, &TfrmBase::staticMetaObject));
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->Left(), 192);
    EXPECT_EQ(w->Top(), 0);
    EXPECT_EQ(w->Width(), 543);
    EXPECT_EQ(w->Height(), 390);
    EXPECT_EQ(w->FModalShow, 1);
    EXPECT_EQ(w->Handle()->font().family(), QStringLiteral("宋体"));
    EXPECT_EQ(w->Handle()->font().pixelSize(), 12);
    TfrmBase plain(nullptr);
    EXPECT_EQ(plain.Position(), poDesktopCenter);   // only the factory makes it poDesigned
    EXPECT_EQ(plain.FModalShow, 0);                 // set by the creation hook, not the constructor
}

TEST(RootWindow, CentresOnTheModuleScreenTruncatingTowardZero)
{
    TScreen screen;
    TScreen* saved = Screen;
    Screen = &screen;
    TfrmBase w(nullptr);
    w.SetBounds(0, 0, 650, 700);
    screen.SetSize(1024, 768);
    TfrmBase::CenterOnScreen(&w);
    EXPECT_EQ(w.Top(), 34);
    EXPECT_EQ(w.Left(), 187);
    screen.SetSize(651, 667);   // 33 too tall, 1 too wide
    TfrmBase::CenterOnScreen(&w);
    EXPECT_EQ(w.Top(), -16);
    EXPECT_EQ(w.Left(), 0);
    Screen = nullptr;
    TfrmBase::CenterOnScreen(&w);   // no screen object: stays where it is
    EXPECT_EQ(w.Top(), -16);
    Screen = saved;
}
