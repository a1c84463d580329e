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

} // namespace CardKeyTable
} // namespace kelm
