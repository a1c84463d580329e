#include "common/AuditTable.h"

#include "common/Blanks.h"

#include <QDateTime>

namespace kelm::AuditTable {

bool exists(Database& db)
{
    return hasTable(db, "kelm_audit");
}

void insert(Database& db, const Who& who, const Entry& e)
{
    const SqlParam params[] = {QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")),
                               who.till,
                               who.operatorName,
                               trimTrailingBlanks(e.cardNumber),
                               e.what,
                               e.before,
                               e.after,
                               e.note};
    db.execute("insert into kelm_audit (时间,收银机,操作员,卡号,操作,原值,新值,说明) values (?,?,?,?,?,?,?,?)", params);
}

void selectNewestFirst(Database& db, const QString& cardNumber, const RowHandler& onRow)
{
    constexpr std::string_view Columns = "SELECT 时间,收银机,操作员,卡号,操作,原值,新值,说明 FROM kelm_audit";
    if (cardNumber.isEmpty()) {
        db.query(std::string(Columns) + " ORDER BY id DESC", {}, onRow);
        return;
    }
    const SqlParam params[] = {trimTrailingBlanks(cardNumber)};
    db.query(std::string(Columns) + " WHERE rtrim(卡号)=? ORDER BY id DESC", params, onRow);
}

std::vector<Stored> selectNewestFirst(Database& db, const Filter& filter, int limit)
{
    std::vector<Stored> rows;
    if (limit <= 0)
        return rows;
    std::string sql = "SELECT 时间,收银机,操作员,卡号,操作,原值,新值,说明 FROM kelm_audit WHERE 1=1";
    std::vector<SqlParam> params;
    if (!filter.cardNumber.isEmpty()) {
        sql += " AND rtrim(卡号)=?";
        params.emplace_back(trimTrailingBlanks(filter.cardNumber));
    }
    if (!filter.operatorName.isEmpty()) {
        sql += " AND 操作员=?";
        params.emplace_back(filter.operatorName);
    }
    if (!filter.from.isEmpty()) {
        sql += " AND 时间>=?";
        params.emplace_back(filter.from);
    }
    if (!filter.before.isEmpty()) {
        sql += " AND 时间<?";
        params.emplace_back(filter.before);
    }
    // The engines spell "the first n rows" each their own way; the rows past the limit are simply
    // not read.
    sql += " ORDER BY id DESC";
    db.query(sql, params, [&](const Row& row) {
        const auto text = [&](int column) {
            const Cell cell = row.cell(column);
            return cell.isNull() ? QString() : cell.toText();
        };
        rows.push_back({text(0), text(1), text(2), text(3), text(4), text(5), text(6), text(7)});
        return static_cast<int>(rows.size()) < limit;
    });
    return rows;
}

std::unique_ptr<Cursor> openRows(Database& db)
{
    return db.openCursor("SELECT 时间,收银机,操作员,卡号,操作,原值,新值,说明 FROM kelm_audit ORDER BY id", {});
}

void insertRows(Database& db, std::span<const SqlParam> cells)
{
    kelm::insertRows(db, "insert into kelm_audit (时间,收银机,操作员,卡号,操作,原值,新值,说明) values ", std::size(Columns), cells);
}

qint64 count(Database& db)
{
    return countOf(db, "SELECT count(*) FROM kelm_audit");
}

qint64 removeAll(Database& db)
{
    return db.execute("delete from kelm_audit", {});
}

} // namespace kelm::AuditTable
