#pragma once

#include "common/Database.h"

namespace kelm {

// Table lpdhjr: one row per gift redeemed for points; the quantity is always 1.
namespace RedemptionTable {

struct Record
{
    QString date; // the system's short date form
    QString cardNumber;
    QString name;
    QString gift;
    QString pointsText; // the gift's price as the gift list showed it
    QString operatorName;
};

void insert(Database& db, const Record& redemption);

// The columns in the order the whole-row statements below read and write them.
inline constexpr std::string_view Columns[] = {"日期", "卡号", "姓名", "礼品", "数量", "积分", "操作员"};
// Every row's cells in the order of Columns, read at the reader's pace.
std::unique_ptr<Cursor> openRows(Database& db);
// Whole rows, their cells in the order of Columns one row after the other, in few statements.
void insertRows(Database& db, std::span<const SqlParam> cells);
qint64 count(Database& db);
qint64 removeAll(Database& db);

} // namespace RedemptionTable
} // namespace kelm
