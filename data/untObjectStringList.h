#pragma once
// (name, object) pairs behind a lock; names compare without regard to case,
// duplicates allowed, the objects are not owned.
#include "data/DbExport.h"
#include <QList>
#include <QMutex>
#include <QString>

class QObject;

class DBMANAGER_EXPORT TObjectStringList {
public:
    TObjectStringList();
    ~TObjectStringList();
    TObjectStringList(const TObjectStringList&) = delete;
    TObjectStringList& operator=(const TObjectStringList&) = delete;

    int AddObject(const QString& name, QObject* object);
    void DeleteAt(int index);                 // out of range: nothing happens
    QObject* ObjectAt(int index) const;       // out of range: null
    QString NameAt(int index) const;
    int FindName(const QString& name) const;  // first match, or -1
    int Count() const;

private:
    struct Entry {
        QString name;
        QObject* object;
    };
    mutable QMutex FLock;
    QList<Entry> FList;
};
