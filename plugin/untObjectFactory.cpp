#include "plugin/untObjectFactory.h"
#include "toolkit/Forms.h"
#include <QMetaObject>

const QUuid IID_IObjectCleanup(QStringLiteral("{D9B7D17E-F1AD-4740-B4D6-33089BA3462E}"));

TObjectFactory::TObjectFactory() = default;

TObjectFactory::~TObjectFactory()
{
    try {
        Cleanup();
    } catch (...) {
    }
}

TComponent* TObjectFactory::CreateComponent(TComponent* AOwner, TClass AClass,
                                            const std::function<void(TComponent*)>& Prepare)
{
    if (!AClass || !AClass->inherits(&TComponent::staticMetaObject))
        throw TObjectFactionError(QStringLiteral("只能创建从TComponent继承过来的类的实例！"));
    TComponent* object = nullptr;
    try {
        QObject* created = AClass->newInstance(Q_ARG(TComponent*, AOwner));
        object = qobject_cast<TComponent*>(created);
        if (!object) {
            delete created;
            throw TObjectFactionError(QStringLiteral("创建对象失败！"));
        }
        if (Prepare)
            Prepare(object);
        object->AfterConstruction();
        if (auto* form = qobject_cast<TForm*>(object)) {
            // The root window centres itself when shown.
            form->SetPosition(poDesigned);
        } else if (auto* control = qobject_cast<TControl*>(object)) {
            if (auto* parent = qobject_cast<TWinControl*>(AOwner))
                control->SetParent(parent);
        }
    } catch (...) {
        if (object)
            object->Free();
        throw TObjectFactionError(QStringLiteral("创建对象失败！"));
    }
    return object;
}

long TObjectFactory::QueryInterface(const QUuid& iid, void** obj)
{
    if (!obj)
        return E_NOINTERFACE;
    if (iid == IID_IObjectCleanup) {
        *obj = static_cast<IObjectCleanup*>(this);
        _AddRef();
        return S_OK;
    }
    *obj = nullptr;
    return E_NOINTERFACE;
}

int TObjectFactory::_AddRef()
{
    return ++FRefCount;
}

int TObjectFactory::_Release()
{
    const int count = --FRefCount;
    if (count == 0)
        delete this;
    return count;
}

void TObjectFactory::AddReference(void* Address, std::uint8_t Kind)
{
    QMutexLocker lock(&FReferenceLock);
    FReferences.append({Address, Kind});
}

void TObjectFactory::AddOwnedObject(QObject* Object)
{
    QMutexLocker lock(&FObjectLock);
    FObjects.append(Object);
}

void TObjectFactory::Cleanup()
{
    bool objectsFailed = false;
    bool referencesFailed = false;
    {
        QMutexLocker lock(&FObjectLock);
        while (!FObjects.isEmpty()) {
            QObject* o = FObjects.takeLast();
            try {
                if (auto* c = qobject_cast<TComponent*>(o))
                    c->Free();
                else
                    delete o;
            } catch (...) {
                objectsFailed = true;
            }
        }
    }
    if (objectsFailed) {
        QMutexLocker lock(&FReferenceLock);
        FReferences.clear();
        throw TObjectFactionError(QStringLiteral("释放资源失败！"));
    }
    QMutexLocker lock(&FReferenceLock);
    while (!FReferences.isEmpty()) {
        const Reference r = FReferences.takeLast();
        try {
            if (!r.address)
                continue;
            if (r.kind == rkObject) {
                *static_cast<void**>(r.address) = nullptr;
            } else if (r.kind == rkInterface) {
                auto** slot = static_cast<IInterface**>(r.address);
                if (IInterface* held = *slot) {
                    *slot = nullptr;
                    held->_Release();
                }
            }
        } catch (...) {
            referencesFailed = true;
        }
    }
    if (referencesFailed)
        throw TObjectFactionError(QStringLiteral("指针操作失败！"));
}
