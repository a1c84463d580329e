#pragma once

#include "Stopwatch.h"

#include <QString>

#include <cstddef>

struct sqlite3;

namespace kelm::Floor {

// The lists whose fill is measured against a raw scan of the same rows.
enum class Table { Members, Gifts, TopUps };

// Opens a database for the raw scans; throws when it cannot.
sqlite3* open(const QString& path);

// What a fill cannot go below: the list's query stepped with the sqlite3 C API, every shown table
// column of every row read as text (numbers converted by SQLite), nothing kept. With
// readCells = false it only steps through the rows. Returns the bytes read, so that nothing is
// left out by the optimiser.
std::size_t scan(sqlite3* db, Table table, bool readCells = true);

// The median wall and processor seconds of one scan of a database's table in this run: what the
// floor benchmark recorded, or else measured here.
Stopwatch::Reading seconds(const QString& path, Table table);
void record(const QString& path, Table table, Stopwatch::Reading median);

} // namespace kelm::Floor
