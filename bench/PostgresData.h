#pragma once

#include "BenchData.h"
#include "Stopwatch.h"

#include <cstddef>

typedef struct pg_conn PGconn;

namespace kelm::PostgresData {

// A benchmark database copied into a database of its own on a PostgreSQL server ("host:port", user
// postgres), made anew on every run (the server is a throwaway one), with a config.ini naming it in
// a folder beside the SQLite one.
BenchDatabase copy(const BenchDatabase& source, const QString& server);

// A connection for the raw libpq scan.
PGconn* open(const BenchDatabase& data);
// What a fill over libpq cannot go below: "SELECT * FROM kelm" read row by row in single-row mode,
// the eight shown columns of every row taken as text, nothing kept. Returns the bytes read.
std::size_t scan(PGconn* connection);

} // namespace kelm::PostgresData
