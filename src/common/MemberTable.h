#pragma once

#include "common/Database.h"

namespace kelm {

// Table kelm: one row per member card, found by its card number 卡号. Every statement on it.
namespace MemberTable {

inline constexpr std::string_view SelectAll = "SELECT * FROM kelm";
inline constexpr std::string_view SelectByCard = "SELECT * FROM kelm WHERE 卡号=?";

// The seven values a member is saved with.
struct Record
{
    QString date; // yyyy-mm-dd
    QString cardNumber;
    QString name;
    QString address;
    QString phone;
    QString password;
    QString idNumber;
};

// The most characters each text column holds on every engine (the schema files in sql/). The member
// screen's boxes take no more, so nothing a cashier types is refused by a server for its length.
namespace Width {
inline constexpr int CardNumber = 50;
inline constexpr int Name = 255;
inline constexpr int Address = 255;
inline constexpr int Phone = 50;
inline constexpr int Password = 50;
inline constexpr int IdNumber = 50;
} // namespace Width

void selectAll(Database& db, const RowHandler& onRow);
// Hands the member's row (every column) to onRow; returns false when no member has the card.
bool selectByCard(Database& db, const QString& cardNumber, const RowHandler& onRow);
// Hands the balance and points row to onRow; returns false when no member has the card.
bool selectBalanceAndPoints(Database& db, const QString& cardNumber, const RowHandler& onRow);

void insert(Database& db, const Record& member);
qint64 update(Database& db, const Record& member); // by card number; date is not changed
qint64 remove(Database& db, const QString& cardNumber);
qint64 updateBalance(Database& db, const QString& cardNumber, const QString& balanceText);
// Writes the new balance only while the stored balance still equals loadedBalanceText, the balance the
// caller read before working out the new one; compared as numbers, so "150.5" matches 150.50 as
// another till stored it. A null or blank loadedBalanceText stands for a NULL balance. Returns 0 when
// another till changed the balance in between (or the member is gone): nothing was written.
qint64 updateBalanceIfUnchanged(Database& db, const QString& cardNumber, const QString& balanceText,
                                const QString& loadedBalanceText);
qint64 updatePoints(Database& db, const QString& cardNumber, const QString& pointsText);

} // namespace MemberTable
} // namespace kelm
