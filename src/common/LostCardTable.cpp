#include "common/LostCardTable.h"

namespace kelm::LostCardTable {

void insert(Database& db, const MemberTable::Member& m)
{
    const SqlParam params[] = {m.date, m.cardNumber, m.name, m.address, m.phone, m.password, m.idNumber};
    db.execute("insert into [gs] (日期,卡号,姓名,联系地址,联系电话,密码,身份证号) values (?,?,?,?,?,?,?)", params);
}

std::unique_ptr<Cursor> openRows(Database& db)
{
    return db.openCursor("SELECT 日期,卡号,姓名,联系地址,联系电话,密码,身份证号 FROM gs", {});
}

void insertRows(Database& db, std::span<const SqlParam> cells)
{
    kelm::insertRows(db, "insert into [gs] (日期,卡号,姓名,联系地址,联系电话,密码,身份证号) values ", std::size(Columns), cells);
}

qint64 count(Database& db)
{
    return countOf(db, "SELECT count(*) FROM gs");
}

qint64 removeAll(Database& db)
{
    return db.execute("delete from gs", {});
}

} // namespace kelm::LostCardTable
