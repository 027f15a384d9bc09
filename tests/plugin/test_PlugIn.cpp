#include "data/untDbManager.h"
#include "data/untDefData.h"
#include "forms/wnBase.h"
#include "plugin/untClassRegist.h"
#include "plugin/untGlobals.h"
#include "plugin/untPlugIn.h"
#include "plugin/untResRefManager.h"
#include <gtest/gtest.h>
#include <QApplication>
#include <QMainWindow>
#include <QMdiArea>
#include <QPointer>
#include <QStringList>
#include <QTimer>

namespace {

// A modal root window (the root's own default) and a modeless one.
class TModalTestWindow : public TfrmBase {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TModalTestWindow(TComponent* AOwner) : TfrmBase(AOwner) { SetBounds(0, 0, 650, 700); }
};

class TModelessTestWindow : public TfrmBase {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TModelessTestWindow(TComponent* AOwner) : TfrmBase(AOwner) { SetBounds(0, 0, 650, 700); }
    void FormCreate() override
    {
        TfrmBase::FormCreate();
        FModalShow = 0;
    }
    void FormClose(TCloseAction& Action) override { Action = caFree; }
};

struct HostManager : IPlugInManager {
    QList<std::uint32_t> released;
    long QueryInterface(const void*, void**) override { return E_NOINTERFACE; }
    int AddRef() override { return 1; }
    int Release() override { return 1; }
    void PlugInReleased(std::uint32_t token) override { released << token; }
};

struct PlugIn : ::testing::Test {
    QMainWindow mainWindow;
    TApplication* hostApp = new TApplication;
    TScreen hostScreen;
    HostManager manager;
    TPubVariables pub{};
    const char hostText[6] = "host!";
    TPlugInInfo info{77, hostText, hostText, hostText};
    TPlugInContext context{&pub, &info, &manager, hostApp, &hostScreen};
    QStringList messages;

    void SetUp() override
    {
        ModuleLoad();
        RegisterWindowClass<TModalTestWindow>();
        RegisterWindowClass<TModelessTestWindow>();
        mainWindow.setCentralWidget(new QMdiArea);
        mainWindow.resize(1200, 900);
        hostApp->SetMainWindow(&mainWindow);
        hostScreen.SetSize(1024, 768);
        hostApp->OnException = [this](QObject*, const QString&, const QString& m) { messages << m; };
    }
    void TearDown() override
    {
        FreeAndNil(hostApp);   // frees the windows while the module is still there
        ModuleUnload();
    }
    TfrmBase* Registered(const char* name)
    {
        return qobject_cast<TfrmBase*>(ResRefManager->LookupResource(QString::fromLatin1(name)));
    }
};

}  // namespace

TEST_F(PlugIn, NullContextTouchesNothing)
{
    EXPECT_EQ(ShowPlugInWindowBody("TModelessTestWindow", nullptr), -1);
    EXPECT_EQ(PlugInContext, nullptr);
    EXPECT_EQ(Application, ModuleOwnApplication());
    EXPECT_EQ(ResRefManager->ResourceCount(), 0);
}

TEST_F(PlugIn, TheDataLayersDefConnectionIsTheHostsWhileTheModuleIsLoaded)
{
    TDbManager db;
    pub.DbManager = &db;
    EXPECT_EQ(DefConnection(), nullptr);   // no host yet
    EXPECT_EQ(ShowPlugInWindowBody("TModelessTestWindow", &context), 0);
    ASSERT_NE(DefConnection(), nullptr);
    EXPECT_EQ(DefConnection(), db.GetConnection(DefConnectionName));
    FreeAndNil(hostApp);
    ModuleUnload();
    EXPECT_EQ(DefConnection(), nullptr);
}

TEST_F(PlugIn, AdoptsTheHostAndShowsAModelessWindowAtOnceCentred)
{
    EXPECT_EQ(ShowPlugInWindowBody("tmodelesstestWINDOW", &context), 0);
    EXPECT_EQ(PlugInContext, &context);
    EXPECT_EQ(PubVariables, &pub);
    EXPECT_EQ(Application, hostApp);
    EXPECT_EQ(Screen, &hostScreen);
    EXPECT_STREQ(info.InfoText1, "");
    EXPECT_EQ(info.InfoText1, info.InfoText3);   // the module's one constant empty text
    TfrmBase* w = Registered("TModelessTestWindow");
    ASSERT_NE(w, nullptr);
    EXPECT_TRUE(w->Visible());
    EXPECT_EQ(w->Owner(), hostApp);
    EXPECT_EQ(w->Top(), 34);
    EXPECT_EQ(w->Left(), 187);

    // Second request: same window, texts reset again.
    info.InfoText2 = hostText;
    EXPECT_EQ(ShowPlugInWindowBody("TModelessTestWindow", &context), 0);
    EXPECT_STREQ(info.InfoText2, "");
    EXPECT_EQ(Registered("TModelessTestWindow"), w);
    EXPECT_EQ(ResRefManager->ResourceCount(), 1);

    // Centred again each time it becomes visible, rounding toward zero when too big.
    w->Hide();
    hostScreen.SetSize(640, 667);   // 33 pixels shorter than the window
    w->Show();
    EXPECT_EQ(w->Top(), -16);
    EXPECT_EQ(w->Left(), -5);
    EXPECT_TRUE(messages.isEmpty());
}

TEST_F(PlugIn, ModalWindowReturnsOnlyAfterItClosedAndStaysRegisteredHidden)
{
    bool closedByTimer = false;
    QTimer::singleShot(50, [this, &closedByTimer] {
        TfrmBase* w = Registered("TModalTestWindow");
        ASSERT_NE(w, nullptr);
        EXPECT_TRUE(w->Visible());
        EXPECT_TRUE(w->Modal());
        closedByTimer = true;
        w->Close();
    });
    EXPECT_EQ(ShowPlugInWindowBody("TModalTestWindow", &context), 0);
    EXPECT_TRUE(closedByTimer);
    TfrmBase* w = Registered("TModalTestWindow");
    ASSERT_NE(w, nullptr);
    EXPECT_FALSE(w->Visible());
    EXPECT_TRUE(manager.released.isEmpty());

    // Shown again: now modelessly, the call returns at once.
    EXPECT_EQ(ShowPlugInWindowBody("TModalTestWindow", &context), 0);
    EXPECT_TRUE(w->Visible());
    EXPECT_FALSE(w->Modal());
}

TEST_F(PlugIn, OpenCloseTwiceReleasesTwiceWithTheLatestToken)
{
    for (std::uint32_t token : {77u, 78u}) {
        info.HostToken = token;
        ASSERT_EQ(ShowPlugInWindowBody("TModelessTestWindow", &context), 0);
        TfrmBase* w = Registered("TModelessTestWindow");
        ASSERT_NE(w, nullptr);
        QPointer<TfrmBase> guard(w);
        w->Close();
        for (int i = 0; i < 5 && guard; ++i)
            QApplication::processEvents();
        EXPECT_TRUE(guard.isNull());
    }
    EXPECT_EQ(manager.released, (QList<std::uint32_t>{77u, 78u}));
    EXPECT_EQ(Registered("TModelessTestWindow"), nullptr);
}

TEST_F(PlugIn, NullManagerAndNullRecordsAreTolerated)
{
    TPlugInContext bare{&pub, nullptr, nullptr, nullptr, nullptr};
    QStringList ownMessages;
    ModuleOwnApplication()->OnException = [&](QObject*, const QString&, const QString& m) { ownMessages << m; };
    // No application, no screen: the module's own ones stay current and report.
    EXPECT_EQ(ShowPlugInWindowBody("TNope", &bare), 0);
    EXPECT_EQ(Application, ModuleOwnApplication());
    EXPECT_EQ(Screen, ModuleOwnScreen());
    EXPECT_EQ(ownMessages.size(), 1);
    EXPECT_TRUE(messages.isEmpty());
    EXPECT_EQ(PlugInInfo, nullptr);

    context.PlugInManager = nullptr;
    ASSERT_EQ(ShowPlugInWindowBody("TModelessTestWindow", &context), 0);
    Registered("TModelessTestWindow")->Free();
    EXPECT_TRUE(manager.released.isEmpty());
    EXPECT_EQ(ResRefManager->RefCount(), 0);
}

TEST_F(PlugIn, UnregisteredNameIsNamedInTheMessageWithResultZero)
{
    EXPECT_EQ(ShowPlugInWindowBody("TNope", &context), 0);
    EXPECT_EQ(messages, QStringList{QStringLiteral("类TNope没有进行注册或不存在！")});
}

TEST_F(PlugIn, AncestorFormNameIsShownModelessly)
{
    EXPECT_EQ(ShowPlugInWindowBody("TForm", &context), 0);
    auto* f = qobject_cast<TForm*>(ResRefManager->LookupResource(QStringLiteral("TForm")));
    ASSERT_NE(f, nullptr);
    EXPECT_TRUE(f->Visible());
    EXPECT_FALSE(f->Modal());
}

TEST_F(PlugIn, UnloadGivesTheModuleItsOwnObjectsBack)
{
    TApplication* own = ModuleOwnApplication();
    TScreen* ownScreen = ModuleOwnScreen();
    ASSERT_NE(own, nullptr);
    ASSERT_EQ(ShowPlugInWindowBody("TModelessTestWindow", &context), 0);
    ASSERT_EQ(Application, hostApp);
    DllEntryHandler(2);   // thread notifications change nothing
    EXPECT_EQ(Application, hostApp);
    DllEntryHandler(0);
    EXPECT_EQ(Application, own);
    EXPECT_EQ(Screen, ownScreen);
}

TEST_F(PlugIn, CallAfterUnloadFailsWithMinusOne)
{
    ModuleUnload();
    Application = hostApp;
    EXPECT_EQ(ShowPlugInWindowBody("TModelessTestWindow", &context), -1);
    EXPECT_EQ(messages.size(), 1);
    Application = nullptr;
    ModuleLoad();
}

#include "test_PlugIn.moc"
