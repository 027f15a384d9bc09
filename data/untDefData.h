#pragma once
// The module's "Def" wrappers over the host's connection manager, host record
// fields as text, and the login-unit checks. Database errors become false results.
#include "data/untDbManager.h"

struct THostField;
class THostRecord;

TAdoConn* DefConnection();
bool ExecDefSQL(const QString& SQL);
// The same, saying why it failed: the driver's message, and whether the failure
// would fail the statements after it on this connection as well.
bool ExecDefSQL(const QString& SQL, QString* Error, bool* Persistent);
bool OpenDefSQL(const QString& SQL, IARQueryRef& Query);
QString RecordFieldText(const THostField* Field);           // Null or missing: empty
QString RecordFieldText(const THostRecord* Record, int index);
bool IsFinanceOffice(const THostRecord* Unit);
bool IsSingleUnit(const THostRecord* Unit);
// Unit codes by characters, not by UTF-16 units: a code may hold a character
// outside the basic plane (two units), which must not be cut in two.
QString FirstCharacters(const QString& Text, int Count);
QString WithoutLastCharacters(const QString& Text, int Count);
int CharacterCount(const QString& Text);

// Host parameter texts (GBK, null reads as empty).
QString SysParamText(const char* value);
