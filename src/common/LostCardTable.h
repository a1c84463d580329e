#pragma once

#include "common/MemberTable.h"

namespace kelm {

// Table gs: members whose card was reported lost, with the seven values the member screen showed.
namespace LostCardTable {

void insert(Database& db, const MemberTable::Member& member);

} // namespace LostCardTable
} // namespace kelm
