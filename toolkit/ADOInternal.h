#pragma once
// What the connection, dataset and command units share. Internal to the toolkit.
#include "toolkit/SysUtils.h"
#include <QString>

class QSqlError;
class QSqlDatabase;
class TADOConnection;
struct sqlite3;

namespace adointernal {

// The SQLite handle behind a Qt connection, or null for another driver.
sqlite3* SqliteHandle(const QSqlDatabase& db);
QString SqliteMessage(sqlite3* h);
// The error of a failed SQLite call, with its kind from the result code.
EDatabaseError SqliteError(sqlite3* h);
// The error of a failed statement on a server; lost: the connection went away.
EDatabaseError ServerError(const QSqlError& error, bool lost);
// The connection, or EDatabaseError when there is none.
TADOConnection* RequireConnection(TADOConnection* c);

}  // namespace adointernal
