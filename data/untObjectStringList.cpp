#include "data/untObjectStringList.h"

TObjectStringList::TObjectStringList() = default;
TObjectStringList::~TObjectStringList() = default;

int TObjectStringList::AddObject(const QString& name, QObject* object)
{
    QMutexLocker lock(&FLock);
    FList.append({name, object});
    return int(FList.size()) - 1;
}

void TObjectStringList::DeleteAt(int index)
{
    QMutexLocker lock(&FLock);
    if (index >= 0 && index < FList.size())
        FList.removeAt(index);
}

QObject* TObjectStringList::ObjectAt(int index) const
{
    QMutexLocker lock(&FLock);
    return (index >= 0 && index < FList.size()) ? FList.at(index).object : nullptr;
}

QString TObjectStringList::NameAt(int index) const
{
    QMutexLocker lock(&FLock);
    return (index >= 0 && index < FList.size()) ? FList.at(index).name : QString();
}

int TObjectStringList::FindName(const QString& name) const
{
    QMutexLocker lock(&FLock);
    for (int i = 0; i < FList.size(); ++i)
        if (FList.at(i).name.compare(name, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

int TObjectStringList::Count() const
{
    QMutexLocker lock(&FLock);
    return int(FList.size());
}
