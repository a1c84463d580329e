#pragma once

#include "common/MemberTable.h"

#include <functional>

namespace kelm {

// Table gs: members whose card was reported lost, with the seven values the member screen showed.
namespace LostCardTable {

void insert(Database& db, const MemberTable::Member& member);
// The rows of the table: every report of a lost card, a card reported twice counted twice.
qint64 count(Database& db);
// The balance of every member who holds a number a lost card had (trailing blanks not counting), as
// stored: the stored value still kept under a lost card's number. Each member once, however often
// the number was reported lost.
void scanBalancesHeld(Database& db, const std::function<void(const Cell& balance)>& onMember);

} // namespace LostCardTable
} // namespace kelm
