#include "forms/wnBase.h"
#include "plugin/untObjectFactory.h"
#include <gtest/gtest.h>
#include <QStringList>

namespace {

QStringList Events;

class TFactoryForm : public TForm {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TFactoryForm(TComponent* AOwner) : TForm(AOwner) { SetPosition(poScreenCenter); }
    void FormCreate() override { Events << QStringLiteral("create"); }
};

class TFailingForm : public TForm {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TFailingForm(TComponent* AOwner) : TForm(AOwner) {}
    ~TFailingForm() override { Events << QStringLiteral("freed"); }
    void FormCreate() override { throw Exception(QStringLiteral("boom")); }
};

class TFactoryControl : public TControl {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TFactoryControl(TComponent* AOwner) : TControl(AOwner) {}
};

class TNoConstructor : public TComponent {
    Q_OBJECT
public:
    explicit TNoConstructor(TComponent* AOwner) : TComponent(AOwner) {}
};

class TNamed : public TComponent {
public:
    explicit TNamed(QString name) : TComponent(nullptr), FName(std::move(name)) {}
    ~TNamed() override { Events << FName; }
private:
    QString FName;
};

struct Counted : IInterface {
    int refs = 1;
    long QueryInterface(const QUuid&, void**) override { return E_NOINTERFACE; }
    int _AddRef() override { return ++refs; }
    int _Release() override { return --refs; }
};

}  // namespace

TEST(ObjectFactory, RefusesWhatIsNotAComponent)
{
    try {
        TObjectFactory::CreateComponent(nullptr, &TPersistent::staticMetaObject);
        FAIL() << "no error";
    } catch (const TObjectFactionError& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("只能创建从TComponent继承过来的类的实例！"));
    }
}

TEST(ObjectFactory, FormIsOwnedCreatedAndKeepsItsDesignedPosition)
{
    Events.clear();
    TComponent owner;
    // What the caller hands over comes between the constructor and FormCreate.
    TComponent* c = TObjectFactory::CreateComponent(&owner, &TFactoryForm::staticMetaObject, [](TComponent* made) {
        Events << (qobject_cast<TFactoryForm*>(made) ? QStringLiteral("prepare") : QStringLiteral("prepare?"));
    });
    auto* form = qobject_cast<TFactoryForm*>(c);
    ASSERT_NE(form, nullptr);
    EXPECT_EQ(form->Position(), poDesigned);
    EXPECT_EQ(form->Owner(), &owner);
    EXPECT_EQ(Events, (QStringList{QStringLiteral("prepare"), QStringLiteral("create")}));
}

TEST(ObjectFactory, ControlGetsAWindowedOwnerAsParentOnly)
{
    TWinControl windowed;
    auto* a = qobject_cast<TControl*>(TObjectFactory::CreateComponent(&windowed, &TFactoryControl::staticMetaObject));
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->Parent(), &windowed);
    EXPECT_EQ(a->Handle()->parentWidget(), windowed.Handle());

    TComponent plain;
    auto* b = qobject_cast<TControl*>(TObjectFactory::CreateComponent(&plain, &TFactoryControl::staticMetaObject));
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->Parent(), nullptr);
}

TEST(ObjectFactory, FailedCreationFreesTheObjectAndSaysSo)
{
    Events.clear();
    TComponent owner;
    for (TClass cls : {&TFailingForm::staticMetaObject, &TNoConstructor::staticMetaObject}) {
        try {
            TObjectFactory::CreateComponent(&owner, cls);
            FAIL() << "no error for " << cls->className();
        } catch (const TObjectFactionError& e) {
            EXPECT_EQ(e.Message(), QStringLiteral("创建对象失败！"));
        }
    }
    EXPECT_EQ(Events, QStringList{QStringLiteral("freed")});
    EXPECT_EQ(owner.ComponentCount(), 0);
}

TEST(ObjectFactory, CleanupFreesLastToFirstAndClearsReferencesByKind)
{
    Events.clear();
    TInterfaceRef<IObjectCleanup> cleanup(new TObjectFactory);
    cleanup->AddOwnedObject(new TNamed(QStringLiteral("first")));
    cleanup->AddOwnedObject(new TNamed(QStringLiteral("second")));
    int dummy = 0;
    void* plain = &dummy;
    Counted counted;
    IInterface* iface = &counted;
    counted._AddRef();
    void* untouched = &dummy;
    cleanup->AddReference(&plain, rkObject);
    cleanup->AddReference(&iface, rkInterface);
    cleanup->AddReference(&untouched, 7);
    cleanup.Clear();   // the last reference destroys the factory
    EXPECT_EQ(Events, (QStringList{QStringLiteral("second"), QStringLiteral("first")}));
    EXPECT_EQ(plain, nullptr);
    EXPECT_EQ(iface, nullptr);
    EXPECT_EQ(counted.refs, 1);
    EXPECT_EQ(untouched, &dummy);
}

#include "test_ObjectFactory.moc"
