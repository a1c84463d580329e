#pragma once

#include "common/Database.h"

namespace kelm::SchemaScript {

// The schema file of an engine as it is stored in sql/ (sqlite.sql, postgresql.sql, sqlserver.sql).
QString fileName(Engine engine);
// The script that brings a database made by an older kelm-admin up to the schema file
// (upgrade-sqlite.sql, ...). Each of its statements may run again.
QString upgradeFileName(Engine engine);

// Runs a schema file's statements one after the other: statements end with ";" at the end of a
// line, and "--" lines are comments.
void run(Database& db, const QString& script);

} // namespace kelm::SchemaScript
