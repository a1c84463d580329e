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
