#include "toolkit/Classes.h"
#include <gtest/gtest.h>
#include <QStringList>

namespace {

// Records every notification it receives, with the class name the sender had then.
class Listener : public TComponent {
public:
    explicit Listener(TComponent* owner = nullptr) : TComponent(owner) {}
    void Notification(TComponent* c, TOperation op) override
    {
        TComponent::Notification(c, op);
        if (op == opRemove)
            removed << c->ClassName() + (c->IsDestroying() ? QStringLiteral(":destroying") : QString());
    }
    QStringList removed;
};

class Named : public TComponent {
    Q_OBJECT
public:
    explicit Named(TComponent* owner = nullptr) : TComponent(owner) {}
};

}  // namespace

TEST(Component, FreeTellsListenersWhileStillWhole)
{
    Listener listener;
    auto* c = new Named;
    c->FreeNotification(&listener);
    c->Free();
    ASSERT_EQ(listener.removed.size(), 1);
    EXPECT_EQ(listener.removed.first(), QStringLiteral("Named:destroying"));
}

TEST(Component, NoticeGoesBothWaysAndCanBeWithdrawn)
{
    auto* a = new Listener;
    auto* b = new Listener;
    a->FreeNotification(b);
    b->Free();          // a hears about b although only a asked
    ASSERT_EQ(a->removed.size(), 1);

    auto* c = new Named;
    c->FreeNotification(a);
    c->RemoveFreeNotification(a);
    c->Free();
    EXPECT_EQ(a->removed.size(), 1);
    a->Free();
}

TEST(Component, OwnerFreesItsComponentsEachWhole)
{
    Listener listener;
    auto* owner = new TComponent;
    auto* child1 = new Named(owner);
    auto* child2 = new Named(owner);
    child1->FreeNotification(&listener);
    child2->FreeNotification(&listener);
    EXPECT_EQ(owner->ComponentCount(), 2);
    EXPECT_EQ(owner->Components(1), child2);
    delete owner;
    EXPECT_EQ(listener.removed, QStringList({"Named:destroying", "Named:destroying"}));
}

TEST(Component, FreedChildLeavesItsOwner)
{
    TComponent owner;
    auto* child = new Named(&owner);
    EXPECT_EQ(child->Owner(), &owner);
    child->Free();
    EXPECT_EQ(owner.ComponentCount(), 0);
}

TEST(Component, FreeAndNilClearsThePointer)
{
    Listener listener;
    auto* c = new Named;
    c->FreeNotification(&listener);
    FreeAndNil(c);
    EXPECT_EQ(c, nullptr);
    EXPECT_EQ(listener.removed.size(), 1);
    FreeAndNil(c);  // null: nothing happens
}

#include "test_Classes.moc"
