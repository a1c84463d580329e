#include "common/RedemptionTable.h"

namespace kelm::RedemptionTable {

void insert(Database& db, const Record& r)
{
    const SqlParam params[] = {r.date, r.cardNumber, r.name, r.gift, r.pointsText, r.operatorName};
    db.execute("insert into [lpdhjr] (日期,卡号,姓名,礼品,数量,积分,操作员) values (?,?,?,?,'1',?,?)", params);
}

std::unique_ptr<Cursor> openRows(Database& db)
{
    return db.openCursor("SELECT 日期,卡号,姓名,礼品,数量,积分,操作员 FROM lpdhjr", {});
}

void insertRows(Database& db, std::span<const SqlParam> cells)
{
    kelm::insertRows(db, "insert into [lpdhjr] (日期,卡号,姓名,礼品,数量,积分,操作员) values ", std::size(Columns), cells);
}

qint64 count(Database& db)
{
    return countOf(db, "SELECT count(*) FROM lpdhjr");
}

qint64 removeAll(Database& db)
{
    return db.execute("delete from lpdhjr", {});
}

} // namespace kelm::RedemptionTable
