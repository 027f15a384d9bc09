#pragma once
// The module's "Def" wrappers over the host's connection manager, host record
// fields as text, and the login-unit checks. Database errors become failed results.
#include "data/untDbManager.h"
#include "data/untError.h"

struct THostField;
class THostRecord;

// Where the "Def" connection comes from: the module names it when it loads (the
// host's connection manager); without a source there is none.
using TDefConnectionSource = TAdoConn* (*)();
void SetDefConnectionSource(TDefConnectionSource Source);
TAdoConn* DefConnection();
// A statement on the "Def" connection: the records it changed, or why it failed.
TResult<int> ExecDefSQL(const QString& SQL);
// The same on a given connection, from the thread that runs it.
TResult<int> ExecOn(TAdoConn* Conn, const QString& SQL);
// A query on the "Def" connection, opened.
TResult<IARQueryRef> OpenDefSQL(const QString& SQL);
QString RecordFieldText(const THostField* Field);           // Null or missing: empty
QString RecordFieldText(const THostRecord* Record, int index);
// The operator's unit by its code (empty: none); FinanceOfficeFlag: the system
// parameter of that name is "1". IsSingleUnit asks Conn how many units share the
// unit's parent.
bool IsFinanceOffice(const QString& UnitCode, bool FinanceOfficeFlag);
bool IsSingleUnit(TAdoConn* Conn, const QString& UnitCode, bool FinanceOfficeFlag);
// Unit codes by characters, not by UTF-16 units: a code may hold a character
// outside the basic plane (two units), which must not be cut in two.
QString FirstCharacters(const QString& Text, int Count);
QString WithoutLastCharacters(const QString& Text, int Count);
int CharacterCount(const QString& Text);

// Host parameter texts (GBK, null reads as empty).
QString SysParamText(const char* value);
