#pragma once
// The component model: owner, free notification, destroying state.
#include "toolkit/Export.h"
#include <QObject>
#include <QList>
#include <QPointer>
#include <QString>

enum TOperation { opInsert, opRemove };

// Component state marks (a set kept as bits).
enum TComponentStateFlag : int {
    csLoading = 0x01,
    csDestroying = 0x08,
    csDesigning = 0x10,
};

// Root of every class the module can create or register by name.
class TOOLKIT_EXPORT TPersistent : public QObject {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TPersistent(QObject* parent = nullptr);
    ~TPersistent() override;
    QString ClassName() const { return QString::fromLatin1(metaObject()->className()); }
};

class TOOLKIT_EXPORT TComponent : public TPersistent {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TComponent(TComponent* AOwner = nullptr);
    ~TComponent() override;

    TComponent* Owner() const { return FOwner; }
    QString Name() const { return objectName(); }
    void SetName(const QString& name) { setObjectName(name); }

    int ComponentCount() const { return int(FComponents.size()); }
    TComponent* Components(int index) const { return FComponents.value(index); }

    int ComponentState() const { return FState; }
    bool IsDestroying() const { return (FState & csDestroying) != 0; }
    bool IsDesigning() const { return (FState & csDesigning) != 0; }

    // Runs after the constructor of the most derived class, as the object factory does
    // for every component it creates; forms raise their creation hook here.
    virtual void AfterConstruction() {}
    // Runs once, while the object is still whole, before the removal notices go out
    // (forms raise their destroy hook here).
    virtual void BeforeDestruction() {}

    // Marks the component destroying, tells everyone who asked while the object is
    // still whole, then deletes it. Safe on null through FreeAndNil-style helpers.
    void Free();

    // Ask AComponent to be told (Notification opRemove) when this one is destroyed,
    // and the other way round, as the toolkit does.
    void FreeNotification(TComponent* AComponent);
    void RemoveFreeNotification(TComponent* AComponent);

    virtual void Notification(TComponent* AComponent, TOperation Operation);

protected:
    // Sends the removal notices once; called by Free and, failing that, by the destructor.
    void Destroying();

private:
    void InsertComponent(TComponent* child);
    void RemoveComponent(TComponent* child);

    TComponent* FOwner = nullptr;
    QList<TComponent*> FComponents;
    QList<TComponent*> FFreeNotifies;
    int FState = 0;
    bool FNoticesSent = false;
};

// Deletes a component through Free and clears the pointer.
template <class T>
void FreeAndNil(T*& component)
{
    T* c = component;
    component = nullptr;
    if (c)
        c->Free();
}
