#include "common/LostCardTable.h"

namespace kelm::LostCardTable {

void insert(Database& db, const MemberTable::Member& m)
{
    const SqlParam params[] = {m.date, m.cardNumber, m.name, m.address, m.phone, m.password, m.idNumber};
    db.execute("insert into [gs] (日期,卡号,姓名,联系地址,联系电话,密码,身份证号) values (?,?,?,?,?,?,?)", params);
}

void scanBalancesHeld(Database& db, const std::function<void(const Cell& balance)>& onMember)
{
    // A blank number is no card: members without one are not held under a lost card's number.
    db.query("SELECT 余额 FROM kelm WHERE rtrim(卡号)<>'' AND rtrim(卡号) IN (SELECT rtrim(卡号) FROM gs)", {},
             [&](const Row& row) {
                 onMember(row.cell(0));
                 return true;
             });
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
