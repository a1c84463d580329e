#pragma once

#include "common/Database.h"

#include <optional>

namespace kelm {

// Table bz: the installation's card key byte, as hexadecimal text in 标识. Only the first row
// counts. The library only reads it; kelm-admin fills it when it sets a database up.
namespace CardKeyTable {

// The 标识 text of the first row; no value when the table is empty.
std::optional<QString> selectIdentifier(Database& db);
void insert(Database& db, const QString& identifier);

// The columns in the order the whole-row statements below read and write them.
inline constexpr std::string_view Columns[] = {"标识"};
// Every row's cells in the order of Columns, read at the reader's pace.
std::unique_ptr<Cursor> openRows(Database& db);
// Whole rows, their cells in the order of Columns one row after the other, in few statements.
void insertRows(Database& db, std::span<const SqlParam> cells);
qint64 count(Database& db);
qint64 removeAll(Database& db);

} // namespace CardKeyTable
} // namespace kelm
