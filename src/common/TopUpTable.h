#pragma once

#include "common/Database.h"

namespace kelm {

// Table qzjl: one row per top-up of a member's stored balance.
namespace TopUpTable {

struct Record
{
    QString date;       // the system's short date form
    QString cardNumber;
    QString holder;     // 持卡人
    QString business;   // 业务, "充值"
    QString amountText; // as typed
    QString operatorName;
};

void insert(Database& db, const Record& topUp);

// The columns in the order the whole-row statements below read and write them.
inline constexpr std::string_view Columns[] = {"日期", "卡号", "持卡人", "业务", "金额", "操作员"};
// Every row's cells in the order of Columns, read at the reader's pace.
std::unique_ptr<Cursor> openRows(Database& db);
// Whole rows, their cells in the order of Columns one row after the other, in few statements.
void insertRows(Database& db, std::span<const SqlParam> cells);
qint64 count(Database& db);
qint64 removeAll(Database& db);

} // namespace TopUpTable
} // namespace kelm
