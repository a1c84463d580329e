#pragma once

#include "common/Amount.h"
#include "common/Database.h"

#include <functional>
#include <optional>
#include <string_view>
#include <vector>

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

// A row as read back: the texts as stored (empty for NULL, amountText in the default number form)
// and the amount itself, none when the column holds no number.
struct Stored
{
    Record record;
    std::optional<Amount> amount;
};
// The rows of the card number (trailing blanks not counting), in the order the table returns them.
std::vector<Stored> selectByCard(Database& db, const QString& cardNumber);

// A row as a report over the whole table reads it, valid only while the handler runs: texts as the
// stored UTF-8 bytes (empty for NULL), the amount as its cell.
struct Scanned
{
    std::string_view date;
    std::string_view cardNumber;
    Cell amount;
    std::string_view operatorName;
};
// Every row, read at the reader's pace without a QString made for any of them.
void scan(Database& db, const std::function<void(const Scanned&)>& onRow);

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
