#pragma once
// Host record objects: fields read by zero-based index, each carrying a variant
// (Null for an empty field).
#include "data/DbExport.h"
#include <QList>
#include <QVariant>

struct DBMANAGER_EXPORT THostField {
    QVariant Value;
};

class DBMANAGER_EXPORT THostRecord {
public:
    THostRecord();
    explicit THostRecord(int fieldCount);
    ~THostRecord();
    int FieldCount() const { return int(FFields.size()); }
    // The field at the index, or null past the end.
    const THostField* Fields(int index) const;
    void SetField(int index, const QVariant& value);   // grows the record as needed
private:
    QList<THostField> FFields;
};
