#pragma once

#include "common/Amount.h"
#include "common/Database.h"

#include <functional>
#include <optional>
#include <string_view>
#include <vector>

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

// A row as read back: the texts as stored (empty for NULL, pointsText in the default number form)
// and the points themselves, none when the column holds no number.
struct Stored
{
    Record record;
    std::optional<Amount> points;
};
// The rows of the card number (trailing blanks not counting), in the order the table returns them.
std::vector<Stored> selectByCard(Database& db, const QString& cardNumber);

// A row as a report over the whole table reads it, valid only while the handler runs: texts as the
// stored UTF-8 bytes (empty for NULL), the points as their cell.
struct Scanned
{
    std::string_view date;
    std::string_view cardNumber;
    std::string_view gift;
    Cell points;
    std::string_view operatorName;
};
// Every row, read at the reader's pace without a QString made for any of them.
void scan(Database& db, const std::function<void(const Scanned&)>& onRow);

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
