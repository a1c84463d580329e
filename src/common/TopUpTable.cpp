#include "common/TopUpTable.h"

namespace kelm::TopUpTable {

void insert(Database& db, const Record& t)
{
    const SqlParam params[] = {t.date, t.cardNumber, t.holder, t.business, t.amountText, t.operatorName};
    db.execute("insert into [qzjl] (日期,卡号,持卡人,业务,金额,操作员) values (?,?,?,?,?,?)", params);
}

std::unique_ptr<Cursor> openRows(Database& db)
{
    return db.openCursor("SELECT 日期,卡号,持卡人,业务,金额,操作员 FROM qzjl", {});
}

void insertRows(Database& db, std::span<const SqlParam> cells)
{
    kelm::insertRows(db, "insert into [qzjl] (日期,卡号,持卡人,业务,金额,操作员) values ", std::size(Columns), cells);
}

qint64 count(Database& db)
{
    return countOf(db, "SELECT count(*) FROM qzjl");
}

qint64 removeAll(Database& db)
{
    return db.execute("delete from qzjl", {});
}

} // namespace kelm::TopUpTable
