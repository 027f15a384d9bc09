#pragma once
// The module's own registry of window classes by name, over Qt's meta-objects:
// a class is its QMetaObject, its parent the superClass(), descent is inherits().
#include <QList>
#include <QMutex>
#include <QPair>
#include <QString>

struct QMetaObject;
using TClass = const QMetaObject*;

class TRegGroup {
public:
    explicit TRegGroup(TClass AClass);
    ~TRegGroup();
    TRegGroup(const TRegGroup&) = delete;
    TRegGroup& operator=(const TRegGroup&) = delete;

    TClass MostSpecificBase(TClass AClass) const;
    // Either group may be null; on a tie the first argument wins.
    static TRegGroup* PreferredGroup(TRegGroup* Group1, TRegGroup* Group2, TClass AClass);
    TClass Lookup(const QString& Name) const;
    void Add(TClass AClass);               // EFilerError when the name is taken
    bool Contains(TClass AClass) const;

    QList<TClass> Classes;
    QList<QPair<QString, TClass>> Aliases;
    QList<TClass> BaseClasses;
    bool Enabled = true;
};

class TRegGroups {
public:
    TRegGroups();
    ~TRegGroups();
    TRegGroups(const TRegGroups&) = delete;
    TRegGroups& operator=(const TRegGroups&) = delete;

    TRegGroup* FindGroupFor(TClass AClass) const;
    TClass Lookup(const QString& Name) const;
    void Register(TClass AClass);
    bool IsRegistered(TClass AClass) const;
    void Lock() { FLock.lock(); }
    void Unlock() { FLock.unlock(); }

    QList<TRegGroup*> Groups;

private:
    QMutex FLock;
};

// The module's registry; exists between the unit's initialisation and finalisation.
extern TRegGroups* ClassRegistry;

// Registers the class and every ancestor up to TPersistent not yet registered.
void RegisterWindowClass(TClass AClass);
// The registered class of that name (ASCII case ignored), or null.
TClass FindRegisteredClass(const QString& Name);

template <class T>
void RegisterWindowClass() { RegisterWindowClass(&T::staticMetaObject); }

void untClassRegist_Initialize();
void untClassRegist_Finalize();
