#include "plugin/untResRefManager.h"
#include "plugin/untClassRegist.h"
#include "plugin/untGlobals.h"
#include "plugin/untObjectFactory.h"
#include "toolkit/Forms.h"

const QUuid IID_IResRefManager(QStringLiteral("{20D5590E-F0A5-4F46-81F0-5C62D2F30F38}"));

TResRefManager::TResRefManager(TComponent* AOwner) : TComponent(AOwner) {}

TResRefManager::~TResRefManager()
{
    // Dropping the records releases their references; with the callback gone that
    // only counts down, as if they had never been released.
    OnAllReleased = nullptr;
    OnBeforeCreate = nullptr;
    OnAfterCreate = nullptr;
    OnExisting = nullptr;
    qDeleteAll(FRefList);
    FRefList.clear();
}

long TResRefManager::QueryInterface(const QUuid& iid, void** obj)
{
    if (!obj)
        return E_NOINTERFACE;
    if (iid == IID_IResRefManager) {
        *obj = static_cast<IResRefManager*>(this);
        _AddRef();
        return S_OK;
    }
    *obj = nullptr;
    return E_NOINTERFACE;
}

int TResRefManager::_AddRef()
{
    return ++FRefCount;
}

int TResRefManager::_Release()
{
    const int count = --FRefCount;
    if (count == 0 && OnAllReleased)
        OnAllReleased(this);
    return count;
}

void TResRefManager::AddResource(QObject* AObject)
{
    auto* component = qobject_cast<TComponent*>(AObject);
    if (!component)
        throw TExceptResRefManager(QStringLiteral("只能登记从TComponent继承过来的对象！"));
    FResList.AddObject(component->ClassName(), component);
    auto* info = new TObjRefInfo;
    info->Ref = static_cast<IResRefManager*>(this);
    FRefList.append(info);
    component->FreeNotification(this);
}

void TResRefManager::RemoveResource(const QString& AName)
{
    const int index = FResList.FindName(AName);
    if (index < 0)
        return;
    // The entry goes from both lists before the release, so a handler called by it
    // sees the manager without the object.
    TObjRefInfo* info = FRefList.takeAt(index);
    FResList.DeleteAt(index);
    info->Ref.Clear();
    delete info;
}

QObject* TResRefManager::LookupResource(const QString& AName)
{
    const int index = FResList.FindName(AName);
    return index < 0 ? nullptr : FResList.ObjectAt(index);
}

QObject* TResRefManager::GetResource(const QString& AName, bool ANotify)
{
    QObject* result = nullptr;
    try {
        result = LookupResource(AName);
        if (auto* c = qobject_cast<TComponent*>(result); c && c->IsDestroying())
            result = nullptr;
        if (result) {
            if (ANotify && OnExisting)
                OnExisting(this, result);
            return result;
        }
        TClass cls = FindRegisteredClass(AName);
        if (!cls)
            throw TExceptResRefManager(FormatOne(QStringLiteral("类%s没有进行注册或不存在！"), AName));
        bool allow = true;
        if (ANotify && OnBeforeCreate)
            OnBeforeCreate(this, AName, allow);
        if (!allow)
            return nullptr;
        result = TObjectFactory::CreateComponent(Application, cls, [this](TComponent* made) {
            if (OnPrepare)
                OnPrepare(this, made);
        });
        AddResource(result);
        if (ANotify && OnAfterCreate)
            OnAfterCreate(this, result);
    } catch (const std::exception& e) {
        if (Application)
            Application->HandleException(this, e);
    } catch (...) {
        if (Application)
            Application->HandleException(this, Exception(QStringLiteral("未知错误！")));
    }
    return result;
}

void TResRefManager::Notification(TComponent* AComponent, TOperation Operation)
{
    TComponent::Notification(AComponent, Operation);
    if (!AComponent || Operation != opRemove)
        return;
    const QString name = AComponent->ClassName();
    if (LookupResource(name)) {
        RemoveResource(name);
        return;
    }
    // A component deleted without Free reports its class name only as far as its
    // destructor has got; find it by identity so no dangling entry stays behind.
    for (int i = 0; i < FResList.Count(); ++i)
        if (FResList.ObjectAt(i) == AComponent) {
            TObjRefInfo* info = FRefList.takeAt(i);
            FResList.DeleteAt(i);
            info->Ref.Clear();
            delete info;
            return;
        }
}
