#pragma once
// What the connection, dataset and command units share. Internal to the toolkit.
#include <QString>

class QSqlDatabase;
class TADOConnection;
struct sqlite3;

namespace adointernal {

// The SQLite handle behind a Qt connection, or null for another driver.
sqlite3* SqliteHandle(const QSqlDatabase& db);
QString SqliteMessage(sqlite3* h);
// The connection, or EDatabaseError when there is none.
TADOConnection* RequireConnection(TADOConnection* c);

}  // namespace adointernal
