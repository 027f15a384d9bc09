#pragma once
// Keeps the module's open windows by class name: hands back the live one or
// creates it from the class registry, and counts them, so the host can be told
// when the last one is gone.
#include "data/untObjectStringList.h"
#include "toolkit/Classes.h"
#include "toolkit/Interfaces.h"
#include "toolkit/SysUtils.h"
#include <QList>
#include <atomic>
#include <functional>

DECLARE_EXCEPTION(, TExceptResRefManager, Exception)

// {20D5590E-F0A5-4F46-81F0-5C62D2F30F38}
class IResRefManager : public IInterface {
public:
    virtual void AddResource(QObject* AObject) = 0;
    virtual void RemoveResource(const QString& AName) = 0;
    virtual QObject* GetResource(const QString& AName, bool ANotify) = 0;
    virtual QObject* LookupResource(const QString& AName) = 0;
protected:
    ~IResRefManager() = default;
};
extern const QUuid IID_IResRefManager;

struct TObjRefInfo {
    TInterfaceRef<IResRefManager> Ref;
};

class TResRefManager;
using TAllReleasedEvent = void (*)(TResRefManager* Sender);
using TBeforeCreateEvent = void (*)(TResRefManager* Sender, const QString& AName, bool& Allow);
using TAfterCreateEvent = void (*)(TResRefManager* Sender, QObject* AObject);
using TExistingEvent = void (*)(TResRefManager* Sender, QObject* AObject);

class TResRefManager : public TComponent, public IResRefManager {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TResRefManager(TComponent* AOwner = nullptr);
    // Registered objects are neither freed nor told, and nothing fires.
    ~TResRefManager() override;

    long QueryInterface(const QUuid& iid, void** obj) override;
    int _AddRef() override;
    int _Release() override;

    // Only components can be registered (each holds a reference and a free
    // notification); anything else raises TExceptResRefManager.
    void AddResource(QObject* AObject) override;
    void RemoveResource(const QString& AName) override;
    QObject* GetResource(const QString& AName, bool ANotify) override;
    QObject* LookupResource(const QString& AName) override;

    void Notification(TComponent* AComponent, TOperation Operation) override;

    int RefCount() const { return FRefCount.load(); }
    int ResourceCount() const { return FResList.Count(); }

    TAllReleasedEvent OnAllReleased = nullptr;
    TBeforeCreateEvent OnBeforeCreate = nullptr;
    TAfterCreateEvent OnAfterCreate = nullptr;
    TExistingEvent OnExisting = nullptr;
    // Runs on an object GetResource makes, after its constructor and before its
    // AfterConstruction (a form's FormCreate): what the object needs from its
    // caller is handed over here.
    std::function<void(TResRefManager* Sender, QObject* AObject)> OnPrepare;

private:
    std::atomic<int> FRefCount{0};
    QList<TObjRefInfo*> FRefList;
    TObjectStringList FResList;
};
