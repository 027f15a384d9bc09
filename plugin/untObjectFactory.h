#pragma once
// Creates components by class and prepares them for display; also a clean-up list
// for objects and reference variables (kept for callers outside the windows).
#include "plugin/untClassRegist.h"
#include "toolkit/Classes.h"
#include "toolkit/Interfaces.h"
#include "toolkit/SysUtils.h"
#include <QList>
#include <QMutex>
#include <atomic>
#include <cstdint>
#include <functional>

DECLARE_EXCEPTION(, TObjectFactionError, Exception)

// Kinds of reference variables the clean-up list clears.
enum : std::uint8_t {
    rkObject = 0,      // a plain object pointer: set to null
    rkInterface = 1,   // an IInterface* holding a counted reference: released, then null
};

// {D9B7D17E-F1AD-4740-B4D6-33089BA3462E}
class IObjectCleanup : public IInterface {
public:
    virtual void AddReference(void* Address, std::uint8_t Kind) = 0;
    virtual void AddOwnedObject(QObject* Object) = 0;
protected:
    ~IObjectCleanup() = default;
};
extern const QUuid IID_IObjectCleanup;

class TObjectFactory : public IObjectCleanup {
public:
    TObjectFactory();
    // Runs the clean-up if Cleanup has not; failures there cannot leave a destructor
    // and are dropped.
    virtual ~TObjectFactory();
    TObjectFactory(const TObjectFactory&) = delete;
    TObjectFactory& operator=(const TObjectFactory&) = delete;

    // Creates an instance of AClass owned by AOwner. Prepare, when given, runs on
    // it between its constructor and AfterConstruction (a form's FormCreate).
    // Forms keep their designed position; a control gets a windowed owner as its
    // parent.
    static TComponent* CreateComponent(TComponent* AOwner, TClass AClass,
                                       const std::function<void(TComponent*)>& Prepare = {});

    long QueryInterface(const QUuid& iid, void** obj) override;
    int _AddRef() override;
    int _Release() override;

    void AddReference(void* Address, std::uint8_t Kind) override;
    void AddOwnedObject(QObject* Object) override;

    // Frees the owned objects last to first, then clears the reference variables
    // last to first; raises TObjectFactionError when one of them fails. The lists
    // are empty afterwards in every case.
    void Cleanup();

private:
    struct Reference {
        void* address;
        std::uint8_t kind;
    };
    QMutex FReferenceLock;
    QList<Reference> FReferences;
    QMutex FObjectLock;
    QList<QObject*> FObjects;
    std::atomic<int> FRefCount{0};
};
