#include "plugin/untClassRegist.h"
#include "toolkit/Classes.h"
#include "toolkit/SysUtils.h"
#include <QMetaObject>

TRegGroups* ClassRegistry = nullptr;

namespace {

bool DescendsFrom(TClass AClass, TClass ABase)
{
    return AClass && ABase && AClass->inherits(ABase);
}

QString NameOf(TClass AClass)
{
    return QString::fromLatin1(AClass->className());
}

// The registry compares names ASCII-case-insensitively, like the toolkit's own.
bool SameName(const QString& a, const QString& b)
{
    return AsciiUpper(a) == AsciiUpper(b);
}

// Unlocks also when the guarded step raises.
class RegistryLock {
public:
    explicit RegistryLock(TRegGroups* r) : FRegistry(r) { FRegistry->Lock(); }
    ~RegistryLock() { FRegistry->Unlock(); }
    RegistryLock(const RegistryLock&) = delete;
    RegistryLock& operator=(const RegistryLock&) = delete;
private:
    TRegGroups* FRegistry;
};

}  // namespace

// ---------------------------------------------------------------- TRegGroup

TRegGroup::TRegGroup(TClass AClass)
{
    BaseClasses.append(AClass);
}

TRegGroup::~TRegGroup() = default;

TClass TRegGroup::MostSpecificBase(TClass AClass) const
{
    TClass result = nullptr;
    for (TClass base : BaseClasses)
        if (DescendsFrom(AClass, base) && (!result || DescendsFrom(base, result)))
            result = base;
    return result;
}

TRegGroup* TRegGroup::PreferredGroup(TRegGroup* Group1, TRegGroup* Group2, TClass AClass)
{
    TClass b1 = Group1 ? Group1->MostSpecificBase(AClass) : nullptr;
    TClass b2 = Group2 ? Group2->MostSpecificBase(AClass) : nullptr;
    if (!b1)
        return b2 ? Group2 : nullptr;
    if (!b2 || DescendsFrom(b1, b2))
        return Group1;
    return Group2;
}

TClass TRegGroup::Lookup(const QString& Name) const
{
    for (TClass c : Classes)
        if (SameName(NameOf(c), Name))
            return c;
    for (const auto& alias : Aliases)
        if (SameName(alias.first, Name))
            return alias.second;
    return nullptr;
}

void TRegGroup::Add(TClass AClass)
{
    const QString name = NameOf(AClass);
    if (Lookup(name))
        throw EFilerError(SDuplicateClassMessage(name));
    Classes.append(AClass);
}

bool TRegGroup::Contains(TClass AClass) const
{
    return Classes.contains(AClass);
}

// ---------------------------------------------------------------- TRegGroups

TRegGroups::TRegGroups() = default;

TRegGroups::~TRegGroups()
{
    qDeleteAll(Groups);
    Groups.clear();
}

TRegGroup* TRegGroups::FindGroupFor(TClass AClass) const
{
    TRegGroup* result = nullptr;
    for (TRegGroup* g : Groups)
        result = TRegGroup::PreferredGroup(g, result, AClass);
    return result;
}

TClass TRegGroups::Lookup(const QString& Name) const
{
    for (TRegGroup* g : Groups)
        if (g->Enabled)
            if (TClass c = g->Lookup(Name))
                return c;
    return nullptr;
}

void TRegGroups::Register(TClass AClass)
{
    if (TRegGroup* g = FindGroupFor(AClass))
        g->Add(AClass);
}

bool TRegGroups::IsRegistered(TClass AClass) const
{
    for (TRegGroup* g : Groups)
        if (g->Contains(AClass))
            return true;
    return false;
}

// ---------------------------------------------------------------- module functions

void RegisterWindowClass(TClass AClass)
{
    if (!ClassRegistry)
        return;
    RegistryLock lock(ClassRegistry);
    // A class outside every group is never registered; the walk then ends at the
    // top of the hierarchy instead of looping on it.
    while (AClass && !ClassRegistry->IsRegistered(AClass)) {
        ClassRegistry->Register(AClass);
        if (AClass == &TPersistent::staticMetaObject)
            break;
        AClass = AClass->superClass();
    }
}

TClass FindRegisteredClass(const QString& Name)
{
    if (!ClassRegistry)
        return nullptr;
    RegistryLock lock(ClassRegistry);
    return ClassRegistry->Lookup(Name);
}

void untClassRegist_Initialize()
{
    if (ClassRegistry)
        return;
    ClassRegistry = new TRegGroups;
    ClassRegistry->Groups.append(new TRegGroup(&TPersistent::staticMetaObject));
}

void untClassRegist_Finalize()
{
    delete ClassRegistry;
    ClassRegistry = nullptr;
}
