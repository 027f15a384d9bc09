#include "forms/wnBase.h"
#include "plugin/untClassRegist.h"
#include "plugin/untGlobals.h"
#include "plugin/untResRefManager.h"
#include <gtest/gtest.h>
#include <QPointer>
#include <QStringList>

namespace {

struct Calls {
    int allReleased = 0, before = 0, after = 0, existing = 0;
    bool allow = true;
    QStringList messages;
} calls;

class TManagedWindow : public TfrmBase {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TManagedWindow(TComponent* AOwner) : TfrmBase(AOwner) {}
    // While it is being destroyed, ask the manager for a window of its own name.
    static inline TResRefManager* askOnDestroy = nullptr;
    static inline QObject* gotOnDestroy = nullptr;
    void FormDestroy() override
    {
        TfrmBase::FormDestroy();
        if (askOnDestroy)
            gotOnDestroy = askOnDestroy->GetResource(QStringLiteral("TManagedWindow"), false);
    }
};

struct Manager : ::testing::Test {
    TApplication app;
    TApplication* savedApp = nullptr;
    TResRefManager* mgr = nullptr;

    void SetUp() override
    {
        calls = Calls{};
        untClassRegist_Initialize();
        RegisterWindowClass<TManagedWindow>();
        savedApp = Application;
        Application = &app;
        app.OnException = [](QObject* sender, const QString&, const QString& message) {
            calls.messages << message;
            EXPECT_NE(qobject_cast<TResRefManager*>(sender), nullptr);
        };
        mgr = new TResRefManager(nullptr);
        mgr->OnAllReleased = [](TResRefManager*) { ++calls.allReleased; };
        mgr->OnBeforeCreate = [](TResRefManager*, const QString&, bool& allow) { ++calls.before; allow = calls.allow; };
        mgr->OnAfterCreate = [](TResRefManager*, QObject*) { ++calls.after; };
        mgr->OnExisting = [](TResRefManager*, QObject*) { ++calls.existing; };
    }
    void TearDown() override
    {
        TManagedWindow::askOnDestroy = nullptr;
        FreeAndNil(mgr);
        Application = savedApp;
        untClassRegist_Finalize();
    }
};

}  // namespace

TEST_F(Manager, SameNameInAnyCaseGivesTheSameObject)
{
    QObject* a = mgr->GetResource(QStringLiteral("TManagedWindow"), true);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(qobject_cast<TComponent*>(a)->Owner(), &app);
    EXPECT_EQ(mgr->GetResource(QStringLiteral("tmanagedWINDOW"), true), a);
    EXPECT_EQ(mgr->LookupResource(QStringLiteral("TMANAGEDWINDOW")), a);
    EXPECT_EQ(calls.before, 1);
    EXPECT_EQ(calls.after, 1);
    EXPECT_EQ(calls.existing, 1);
    EXPECT_EQ(mgr->RefCount(), 1);
    EXPECT_TRUE(calls.messages.isEmpty());
}

TEST_F(Manager, NotifyFlagClearedCallsNothingAndForbiddenCreationRegistersNothing)
{
    ASSERT_NE(mgr->GetResource(QStringLiteral("TManagedWindow"), false), nullptr);
    EXPECT_EQ(calls.before + calls.after + calls.existing, 0);
    mgr->RemoveResource(QStringLiteral("TManagedWindow"));
    EXPECT_EQ(calls.allReleased, 1);

    calls.allow = false;
    const int owned = app.ComponentCount();
    EXPECT_EQ(mgr->GetResource(QStringLiteral("TManagedWindow"), true), nullptr);
    EXPECT_EQ(mgr->ResourceCount(), 0);
    EXPECT_EQ(app.ComponentCount(), owned);
    EXPECT_TRUE(calls.messages.isEmpty());
}

TEST_F(Manager, UnknownNameIsReportedWithTheManagerAsSender)
{
    EXPECT_EQ(mgr->GetResource(QStringLiteral("TNope"), true), nullptr);
    EXPECT_EQ(calls.messages, QStringList{QStringLiteral("类TNope没有进行注册或不存在！")});
    EXPECT_EQ(calls.before, 0);
}

TEST_F(Manager, EachLastWindowGoneReleasesOnce)
{
    for (int round = 1; round <= 2; ++round) {
        auto* w = qobject_cast<TComponent*>(mgr->GetResource(QStringLiteral("TManagedWindow"), true));
        ASSERT_NE(w, nullptr);
        w->Free();
        EXPECT_EQ(calls.allReleased, round);
        EXPECT_EQ(mgr->LookupResource(QStringLiteral("TManagedWindow")), nullptr);
        EXPECT_EQ(mgr->RefCount(), 0);
    }
}

TEST_F(Manager, WindowInItsDestructionIsReplacedByANewOne)
{
    auto* old = qobject_cast<TComponent*>(mgr->GetResource(QStringLiteral("TManagedWindow"), true));
    ASSERT_NE(old, nullptr);
    TManagedWindow::askOnDestroy = mgr;
    old->Free();
    QObject* fresh = TManagedWindow::gotOnDestroy;
    ASSERT_NE(fresh, nullptr);
    EXPECT_NE(fresh, old);
    // The old entry went with its own notice; the new one stays and holds the reference.
    EXPECT_EQ(mgr->LookupResource(QStringLiteral("TManagedWindow")), fresh);
    EXPECT_EQ(mgr->RefCount(), 1);
    EXPECT_EQ(calls.allReleased, 0);
    TManagedWindow::askOnDestroy = nullptr;
    qobject_cast<TComponent*>(fresh)->Free();
    EXPECT_EQ(calls.allReleased, 1);
}

TEST_F(Manager, ComponentDeletedWithoutFreeLeavesNoDanglingEntry)
{
    QObject* w = mgr->GetResource(QStringLiteral("TManagedWindow"), true);
    delete w;
    EXPECT_EQ(mgr->ResourceCount(), 0);
    EXPECT_EQ(calls.allReleased, 1);
    // A new request creates a live window again (the memory may well be reused).
    EXPECT_NE(mgr->GetResource(QStringLiteral("TManagedWindow"), true), nullptr);
    EXPECT_EQ(calls.after, 2);
    EXPECT_EQ(mgr->RefCount(), 1);
}

TEST_F(Manager, InterfaceAndRefusals)
{
    void* p = nullptr;
    EXPECT_EQ(mgr->QueryInterface(IID_IResRefManager, &p), S_OK);
    EXPECT_EQ(p, static_cast<IResRefManager*>(mgr));
    EXPECT_EQ(mgr->_Release(), 0);
    EXPECT_EQ(calls.allReleased, 1);   // reaching 0 never frees the manager
    EXPECT_EQ(mgr->QueryInterface(QUuid::createUuid(), &p), E_NOINTERFACE);
    QObject plain;
    EXPECT_THROW(mgr->AddResource(&plain), TExceptResRefManager);
    EXPECT_EQ(mgr->ResourceCount(), 0);
    mgr->RemoveResource(QStringLiteral("TNope"));   // nothing registered: nothing happens
    EXPECT_EQ(mgr->RefCount(), 0);
}

TEST_F(Manager, FreedManagerLeavesItsWindowsAliveAndSilent)
{
    QPointer<QObject> w = mgr->GetResource(QStringLiteral("TManagedWindow"), true);
    FreeAndNil(mgr);
    ASSERT_FALSE(w.isNull());
    EXPECT_EQ(calls.allReleased, 0);
    qobject_cast<TComponent*>(w.data())->Free();   // must not reach the freed manager
    EXPECT_EQ(calls.allReleased, 0);
}

#include "test_ResRefManager.moc"
