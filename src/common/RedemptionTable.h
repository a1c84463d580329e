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

} // namespace RedemptionTable
} // namespace kelm
