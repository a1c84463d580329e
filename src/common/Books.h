#pragma once

#include "common/Amount.h"
#include "common/AuditTable.h"
#include "common/Database.h"
#include "common/MemberTable.h"
#include "common/ShopDate.h"

#include <QDate>

#include <optional>
#include <vector>

namespace kelm {

// What the shop's books say: a member's history, the day's takings, what is owed to members, the
// audit. Every figure is exact (Amount); every row whose date or amount cannot be read is listed.
// Each throws DatabaseError when the database fails, and kelm::Error when a sum is beyond what an
// Amount keeps: no figure is shown wrong.
namespace Books {

// From and to, both included.
struct Period
{
    QDate from;
    QDate to;
    bool contains(QDate date) const { return date >= from && date <= to; }
};

// A qzjl or lpdhjr row whose date (or amount) could not be read: listed in every report it might
// belong to, never silently left out.
struct Unreadable
{
    QString table; // "qzjl" or "lpdhjr"
    QString date;
    QString cardNumber;
    QString amount; // 金额 or 积分 as stored
    QString operatorName;
};

// One top-up or redemption of a member, with the totals up to it.
struct HistoryLine
{
    std::optional<QDate> date; // none: unreadable, listed last
    QString dateText;          // as stored
    QString business;          // "充值" for a top-up, "兑换" for a redemption
    QString detail;            // qzjl.业务 or the gift's name
    Amount amount;             // top-up amount (0 for a redemption)
    Amount points;             // points redeemed (0 for a top-up)
    Amount toppedUpSoFar;      // running totals, in date order
    Amount redeemedSoFar;
    QString operatorName;
};

struct MemberHistory
{
    MemberTable::Member member;
    std::vector<HistoryLine> lines; // oldest first, stable within a day
    std::vector<Unreadable> unreadable;
};

// Members whose card number, name, phone or ID number is the text (blanks around it ignored), at
// most `limit` of them.
std::vector<MemberTable::Member> findMembers(Database& db, const QString& text, int limit = 200);
// The card's member and the rows of qzjl and lpdhjr under its card number; none when no member
// holds the number.
std::optional<MemberHistory> memberHistory(Database& db, const QString& cardNumber);

struct OperatorTakings
{
    QString operatorName;
    qint64 count = 0;
    Amount sum;
};

struct GiftRedemptions
{
    QString gift;
    qint64 count = 0;
    Amount points;
};

struct DayReport
{
    Period period;
    std::vector<OperatorTakings> topUps;        // by operator name
    std::vector<GiftRedemptions> redemptions;   // by gift name
    qint64 topUpCount = 0;
    Amount topUpSum;
    qint64 redemptionCount = 0;
    Amount redemptionPoints;
    std::vector<Unreadable> unreadable;
};
DayReport dayReport(Database& db, Period period);

struct Liability
{
    qint64 members = 0;
    Amount balances; // the stored value the shop owes its members
    Amount points;
    qint64 lostCards = 0;     // rows of gs
    Amount lostBalances;      // balances still held under the lost cards' numbers
    qint64 unreadable = 0;    // members whose balance or points is no number
};
Liability liability(Database& db);

struct DailyTotal
{
    QDate date;
    qint64 count = 0;
    Amount sum;
};
// One entry for every day of the period, days without top-ups included, oldest first; none for a
// period that ends before it begins. A period of more than a hundred years throws kelm::Error.
std::vector<DailyTotal> dailyTopUps(Database& db, Period period, std::vector<Unreadable>* unreadable = nullptr);

struct AuditFilter
{
    QString cardNumber;   // empty: every card
    QString operatorName; // empty: every operator
    std::optional<Period> period;
};
// A row of the audit as stored (时间 is yyyy-mm-dd hh:mm:ss).
using AuditLine = AuditTable::Stored;
// Newest first, at most `limit` lines.
std::vector<AuditLine> audit(Database& db, const AuditFilter& filter, int limit = 10000);

} // namespace Books
} // namespace kelm
