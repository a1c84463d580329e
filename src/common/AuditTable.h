#pragma once

#include "common/Database.h"

#include <vector>

namespace kelm {

// Table kelm_audit: one row for every change of a balance, points, a member or a gift, written in
// the transaction of the change itself, so a change and its row reach the database together. Rows
// are only ever added.
namespace AuditTable {

struct Entry
{
    QString what;       // 操作: 充值, 余额更正, 积分兑换, 积分修改, 会员添加, …
    QString cardNumber; // empty for a gift
    QString before;     // 原值
    QString after;      // 新值
    QString note;       // 说明
};

// Who made the change: the till's name and the operator config.ini names.
struct Who
{
    QString till;
    QString operatorName;
};

// Whether the database keeps the table: a database an older kelm-admin made does not.
bool exists(Database& db);
// Adds the row, dated now (the till's local time, to the second).
void insert(Database& db, const Who& who, const Entry& entry);
// The rows, newest first; only those of one card number unless it is empty.
void selectNewestFirst(Database& db, const QString& cardNumber, const RowHandler& onRow);

// Which rows a report reads; an empty text leaves its condition out. The times are compared as text,
// which for yyyy-mm-dd hh:mm:ss is their order in time.
struct Filter
{
    QString cardNumber;   // trailing blanks not counting
    QString operatorName;
    QString from;         // 时间 at or after it
    QString before;       // 时间 before it
};
// A row as read back, texts as stored (empty for NULL).
struct Stored
{
    QString time;
    QString till;
    QString operatorName;
    QString cardNumber;
    QString what;
    QString before;
    QString after;
    QString note;
};
// The rows the filter lets through, newest first, at most `limit` of them.
std::vector<Stored> selectNewestFirst(Database& db, const Filter& filter, int limit);

// The columns in the order the whole-row statements below read and write them; id is left to the
// database, which numbers new rows itself.
inline constexpr std::string_view Columns[] = {"时间", "收银机", "操作员", "卡号", "操作", "原值", "新值", "说明"};
// Every row's cells in the order of Columns, oldest first, read at the reader's pace.
std::unique_ptr<Cursor> openRows(Database& db);
// Whole rows, their cells in the order of Columns one row after the other, in few statements.
void insertRows(Database& db, std::span<const SqlParam> cells);
qint64 count(Database& db);
qint64 removeAll(Database& db);

} // namespace AuditTable
} // namespace kelm
