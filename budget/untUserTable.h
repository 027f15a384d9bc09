#pragma once
// Base shapes of the module's record and table objects.
#include "toolkit/Classes.h"
#include <cstdint>

class TUserRecord : public TComponent {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TUserRecord(TComponent* AOwner = nullptr) : TComponent(AOwner) {}

    QString RecordName;
    std::int32_t RecordKind = 0;
};

class TUserTable : public TComponent {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TUserTable(TComponent* AOwner = nullptr) : TComponent(AOwner) {}

    QString TableName;
};
