#pragma once
// The embedded database: schema creation and demo data.
#include "data/DbExport.h"
#include <QString>
#include <functional>

// The schema version of the module's database: its tables and view, the indexes
// its statements need and the journal of its writes (BusiBudgetAdjLog). Kept in
// PRAGMA user_version on the embedded database, in table veltrane_schema on servers.
inline constexpr int ModuleSchemaVersion = 3;

// Records written so far and in all.
using TDemoProgress = std::function<void(int Done, int Total)>;

// The demo operator: a top-level unit (the tree shows every unit below the
// top), the budget year of the records and the operator's office code.
inline constexpr char DemoDefaultUnit[] = "101";
inline constexpr int DemoDefaultYear = 2024;
inline constexpr char DemoDefaultOffice[] = "03";
inline constexpr char DemoDefaultDeptClass[] = "2";
inline constexpr int DemoDefaultRecords = 3000;
// A unit that stands alone under its parent (one child only): the window shows
// no tree for it.
inline constexpr char DemoSingleUnit[] = "104001";

// Creates the schema (tables, view, indexes) in a SQLite file, keeping what is
// already there; true on success.
DBMANAGER_EXPORT bool CreateSchema(const QString& path, QString* error);
// Creates a new demo database at path: the schema, a unit tree of three levels,
// the lookups and `records` budget records (of year DemoDefaultYear mostly, every
// budget type, status, office and secret flag under DemoDefaultUnit). Refuses to
// touch an existing non-empty file; the file appears only when complete.
DBMANAGER_EXPORT bool CreateDemoDatabase(const QString& path, int records, QString* error,
                                         const TDemoProgress& progress = {});

// The same for the database a connection string names: a PostgreSQL one gets
// the server schema (sql/schema_pg.sql), any other kind is handled as above
// (a SQLite "Data Source" file). On PostgreSQL everything is written in one
// transaction, so a failed run leaves the database as it was; a database that
// already holds budget records is refused.
DBMANAGER_EXPORT bool CreateSchemaAt(const QString& connectionString, QString* error);
DBMANAGER_EXPORT bool CreateDemoDatabaseAt(const QString& connectionString, int records, QString* error,
                                           const TDemoProgress& progress = {});

// Brings the database a connection string names up to the module's schema
// version: the missing indexes and the journal, then the version. Nothing is done
// when it is there already. Each step that takes a while is told to Progress
// first. ReadOnly: a file this process may not write (the module then works
// without journal); Refused: the login may not change the schema (*Error says
// what the server said); Failed: anything else.
enum class TUpgradeResult { Current, Upgraded, ReadOnly, Refused, Failed };
DBMANAGER_EXPORT TUpgradeResult UpgradeDatabase(const QString& connectionString,
                                                const std::function<void(const QString& Step)>& Progress,
                                                QString* Error);
// The file of sql/ with the upgrade script for the connection's kind of database.
DBMANAGER_EXPORT QString UpgradeScriptName(const QString& connectionString);
