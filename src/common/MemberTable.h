#pragma once

#include "common/Database.h"
#include "common/StoredNumber.h"

#include <functional>
#include <optional>
#include <utility>
#include <vector>

namespace kelm {

// Table kelm: one row per member card, found by its card number 卡号. Every statement on it.
//
// A card number is compared without its trailing blanks, as the shop's SQL Server always compared
// it: a 12-character number comes back from the card with one blank after it. Exactly one member may
// hold a number: every command that finds or writes a member by card number refuses a number two
// members share (DuplicateCardError) rather than touch both.
namespace MemberTable {

inline constexpr std::string_view SelectAll = "SELECT * FROM kelm";

// The columns in the order the whole-row statements below read and write them.
inline constexpr std::string_view Columns[] = {"日期", "卡号", "姓名", "联系地址", "联系电话",
                                               "密码", "身份证号", "余额", "积分"};

// The columns of the member list, in the list's order: never the password.
inline constexpr std::string_view ListColumns[] = {"日期",     "姓名",     "卡号", "身份证号",
                                                   "联系地址", "联系电话", "余额", "积分"};

// The password a new member gets until one is typed.
inline constexpr char DefaultPassword[] = "462";

struct Member
{
    QString date; // yyyy-mm-dd
    QString cardNumber;
    QString name;
    QString address;
    QString phone;
    QString password;
    QString idNumber;
    // Read only: no statement here writes them except the balance and points updates.
    StoredNumber balance = {};
    StoredNumber points = {};
};

// The most characters each text column holds on every engine (the schema files in sql/). The member
// screen's boxes take no more, so nothing a cashier types is refused by a server for its length.
namespace Width {
inline constexpr int Date = 10;
inline constexpr int CardNumber = 50;
inline constexpr int Name = 255;
inline constexpr int Address = 255;
inline constexpr int Phone = 50;
inline constexpr int Password = 50;
inline constexpr int IdNumber = 50;
} // namespace Width

void selectAll(Database& db, const RowHandler& onRow);
// Every member's ListColumns, read at the reader's pace.
std::unique_ptr<Cursor> openAll(Database& db);
// Every member's cells in the order of Columns, read at the reader's pace.
std::unique_ptr<Cursor> openRows(Database& db);
// Whole rows, their cells in the order of Columns one row after the other, in few statements.
void insertRows(Database& db, std::span<const SqlParam> cells);
// 余额 and 积分 of every member.
std::unique_ptr<Cursor> openBalancesAndPoints(Database& db);
// The card number of every member who has one, without its trailing blanks (on SQL Server, which
// compares without them, with them: trim them when comparing).
std::unique_ptr<Cursor> openCardNumbers(Database& db);
qint64 count(Database& db);
qint64 removeAll(Database& db);
// The member with this card number; none when no member has it.
std::optional<Member> findByCard(Database& db, const QString& cardNumber);
// Members whose card number, name, phone or ID number is the text (blanks around the text and trailing
// blanks of the columns not counting), at most `limit` of them, by card number. None for blank text.
std::vector<Member> find(Database& db, const QString& text, int limit);
// Every member's balance and points as stored, read at the reader's pace.
void scanHoldings(Database& db, const std::function<void(const Cell& balance, const Cell& points)>& onMember);
// Whether a member already has this card number.
bool cardNumberTaken(Database& db, const QString& cardNumber);
// Card numbers that more than one member holds, with how many hold each.
std::vector<std::pair<QString, qint64>> duplicateCardNumbers(Database& db);

void insert(Database& db, const Member& member);
// Each writes the one member with the card number and returns 1, or 0 when no member has it (or, for
// the conditional ones, when the value is no longer the one given). Run them in a transaction: when
// a second member holds the number they throw DuplicateCardError, and the rollback undoes the write.
// Name, address, phone and ID number, and the password when withPassword.
qint64 update(Database& db, const Member& member, bool withPassword);
qint64 remove(Database& db, const QString& cardNumber);
// Writes the new balance only while the stored balance is still `was`, the one the caller read
// before working out the new one: a top-up another till made in between is never overwritten.
qint64 updateBalanceIfUnchanged(Database& db, const QString& cardNumber, const QString& balanceText,
                                const StoredNumber& was);
qint64 updatePointsIfUnchanged(Database& db, const QString& cardNumber, const QString& pointsText,
                               const StoredNumber& was);
// Unconditional, for setting up a database.
qint64 setBalanceAndPoints(Database& db, const QString& cardNumber, const QString& balanceText,
                           const QString& pointsText);

} // namespace MemberTable

// A card number more than one member holds: the command stops before it changes anything.
class DuplicateCardError : public RefusalError
{
public:
    DuplicateCardError(const QString& cardNumber, qint64 members);
};

} // namespace kelm
