#include "toolkit/Forms.h"
#include <QMessageBox>
#include <QPushButton>
#include <gtest/gtest.h>
#include <QApplication>
#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QTimer>

namespace {

class Probe : public TForm {
public:
    explicit Probe(TComponent* owner, TCloseAction action = caHide) : TForm(owner), FAction(action) {}
    void FormCreate() override { ++created; }
    void FormShow() override { ++shown; }
    void FormClose(TCloseAction& a) override { a = FAction; ++closed; }
    void FormDestroy() override { ++*destroyed; }
    int created = 0, shown = 0, closed = 0;
    int* destroyed = &ownDestroyed;
    int ownDestroyed = 0;
    TCloseAction FAction;
};

struct Host {
    QMainWindow window;
    QMdiArea* area = new QMdiArea;
    TApplication app;
    Host()
    {
        window.setCentralWidget(area);
        window.resize(1000, 700);
        app.SetMainWindow(&window);
        window.show();
    }
};

void Spin()
{
    for (int i = 0; i < 5; ++i)
        QApplication::processEvents();
}

}  // namespace

TEST(Form, MdiChildLivesInTheMainWindowArea)
{
    Host host;
    auto* f = new Probe(&host.app);
    f->SetFormStyle(fsMDIChild);
    EXPECT_TRUE(f->CreatedAsMDIChild());
    EXPECT_TRUE(f->PendingShow());
    f->SetPendingShow(false);
    f->AfterConstruction();
    EXPECT_FALSE(f->Visible());   // the cleared pending show keeps it hidden
    f->SetBounds(187, 34, 650, 700);
    f->Show();
    EXPECT_TRUE(f->Visible());
    EXPECT_EQ(host.area->subWindowList().size(), 1);
    EXPECT_EQ(f->MdiFrame()->geometry(), QRect(187, 34, 650, 700));
    f->Free();
    EXPECT_TRUE(host.area->subWindowList().isEmpty());
}

TEST(Form, MdiChildNeedsAnMdiMainWindow)
{
    TApplication app;   // no main window at all
    Probe f(&app);
    EXPECT_THROW(f.SetFormStyle(fsMDIChild), EInvalidOperation);
}

TEST(Form, MenuItemsMergeWhileActiveAndLeaveWithTheChild)
{
    Host host;
    auto* f = new Probe(&host.app);
    f->SetFormStyle(fsMDIChild);
    QMenu* item = f->AddMenuItem("mitemOption", "辅助功能(&S)");
    f->Show();
    Spin();
    EXPECT_TRUE(host.window.menuBar()->actions().contains(item->menuAction()));
    f->Free();
    Spin();
    EXPECT_TRUE(host.window.menuBar()->actions().isEmpty());
}

TEST(Form, ShowHookRunsEachTimeItBecomesVisibleOnly)
{
    Host host;
    Probe f(&host.app);
    f.Show();
    f.Show();   // already visible: brought forward only
    EXPECT_EQ(f.shown, 1);
    f.Close();
    EXPECT_FALSE(f.Visible());
    f.Show();
    EXPECT_EQ(f.shown, 2);
}

TEST(Form, CloseActionFreeDeletesAfterTheCloseReturns)
{
    Host host;
    int destroyed = 0;
    auto* f = new Probe(&host.app, caFree);
    f->destroyed = &destroyed;
    f->AfterConstruction();
    QPointer<Probe> guard(f);
    f->Show();
    f->Close();
    EXPECT_TRUE(guard);          // still alive until the event loop turns
    EXPECT_EQ(f->closed, 1);
    Spin();
    EXPECT_FALSE(guard);
    EXPECT_EQ(destroyed, 1);
}

TEST(Form, UserClosingTheFrameRunsTheFormClose)
{
    Host host;
    auto* f = new Probe(&host.app, caFree);
    f->SetFormStyle(fsMDIChild);
    QPointer<Probe> guard(f);
    f->Show();
    f->MdiFrame()->close();
    Spin();
    EXPECT_FALSE(guard);
}

TEST(Form, ShowModalReturnsOnlyAfterClose)
{
    Host host;
    Probe f(&host.app);
    bool closedInside = false;
    QTimer::singleShot(0, [&] {
        closedInside = f.Modal() && f.Visible();
        f.SetModalResult(mrOk);
    });
    EXPECT_EQ(f.ShowModal(), mrOk);
    EXPECT_TRUE(closedInside);
    EXPECT_FALSE(f.Visible());
}

TEST(Application, MessageBoxAndExceptionsGoThroughTheHooks)
{
    TApplication app;
    QString seen;
    app.OnMessageBox = [&](const QString& text, const QString& caption, int flags) {
        seen = caption + "|" + text;
        return (flags & 0x0F) == MB_YESNO ? IDNO : IDOK;
    };
    EXPECT_EQ(app.MessageBox("是否删除选中数据？", "提示", MB_YESNO | MB_ICONQUESTION), IDNO);
    EXPECT_EQ(seen, QStringLiteral("提示|是否删除选中数据？"));

    app.SetTitle("Host");
    app.HandleException(nullptr, EFilerError("重复"));
    EXPECT_EQ(seen, QStringLiteral("Host|重复"));

    QString cls;
    app.OnException = [&](QObject*, const QString& className, const QString&) { cls = className; };
    app.HandleException(nullptr, EFilerError("x"));
    EXPECT_EQ(cls, QStringLiteral("EFilerError"));
}

TEST(Screen, ReportsAFixedSizeAndOverridesTheCursor)
{
    TScreen screen;
    EXPECT_GT(screen.Width(), 0);
    screen.SetSize(1024, 768);
    EXPECT_EQ(screen.Width(), 1024);
    EXPECT_EQ(screen.Height(), 768);
    screen.SetCursor(crHourGlass);
    ASSERT_NE(QGuiApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);
    screen.SetCursor(crDefault);
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

TEST(Text, GbkRoundTripAndFormatting)
{
    const QString text = QStringLiteral("支付范围划分确认");
    const QByteArray gbk = ToGbk(text);
    EXPECT_EQ(gbk.size(), text.size() * 2);   // two bytes per GBK ideograph
    EXPECT_EQ(FromGbk(gbk.constData()), text);
    EXPECT_EQ(FromGbk(static_cast<const char*>(nullptr)), QString());
    EXPECT_EQ(FormatOne("没有指定%S属性值！", "TreeView"), QStringLiteral("没有指定TreeView属性值！"));
    EXPECT_EQ(AsciiUpper("jet.oledb.4.0 ä"), QStringLiteral("JET.OLEDB.4.0 ä"));
}

TEST(Forms, MessageBoxButtonsSpeakTheModulesLanguage)
{
    ASSERT_TRUE(LoadQtTranslations()) << "qt6-translations-l10n is not installed";
    EXPECT_TRUE(LoadQtTranslations());   // once is enough
    QMessageBox box(QMessageBox::Warning, QStringLiteral("标题"), QStringLiteral("内容"),
                    QMessageBox::Ok | QMessageBox::Yes | QMessageBox::No);
    EXPECT_EQ(box.button(QMessageBox::Ok)->text(), QStringLiteral("确定"));
    EXPECT_EQ(box.button(QMessageBox::Yes)->text().left(1), QStringLiteral("是"));
    EXPECT_EQ(box.button(QMessageBox::No)->text().left(1), QStringLiteral("否"));
}
