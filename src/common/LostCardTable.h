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

// The columns in the order the whole-row statements below read and write them.
inline constexpr std::string_view Columns[] = {"日期", "卡号", "姓名", "联系地址", "联系电话", "密码", "身份证号"};
// Every row's cells in the order of Columns, read at the reader's pace.
std::unique_ptr<Cursor> openRows(Database& db);
// Whole rows, their cells in the order of Columns one row after the other, in few statements.
void insertRows(Database& db, std::span<const SqlParam> cells);
qint64 removeAll(Database& db);

} // namespace LostCardTable
} // namespace kelm
