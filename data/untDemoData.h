#pragma once
// The embedded database: schema creation and demo data.
#include "data/DbExport.h"
#include <QString>

// Creates the schema (tables, view, indexes) in a SQLite file; true on success.
DBMANAGER_EXPORT bool CreateSchema(const QString& path, QString* error);
// Creates the schema and fills it with realistic demo data: a unit tree, lookups and
// `records` budget records.
DBMANAGER_EXPORT bool CreateDemoDatabase(const QString& path, int records, QString* error);
