#include "data/untHostRecords.h"

THostRecord::THostRecord() = default;
THostRecord::THostRecord(int fieldCount) : FFields(fieldCount) {}
THostRecord::~THostRecord() = default;

const THostField* THostRecord::Fields(int index) const
{
    if (index < 0 || index >= FFields.size())
        return nullptr;
    return &FFields.at(index);
}

void THostRecord::SetField(int index, const QVariant& value)
{
    if (index < 0)
        return;
    if (index >= FFields.size())
        FFields.resize(index + 1);
    FFields[index].Value = value;
}
