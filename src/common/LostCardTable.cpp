#include "common/LostCardTable.h"

namespace kelm::LostCardTable {

void insert(Database& db, const MemberTable::Member& m)
{
    const SqlParam params[] = {m.date, m.cardNumber, m.name, m.address, m.phone, m.password, m.idNumber};
    db.execute("insert into [gs] (日期,卡号,姓名,联系地址,联系电话,密码,身份证号) values (?,?,?,?,?,?,?)", params);
}

qint64 count(Database& db)
{
    qint64 rows = 0;
    db.query("SELECT count(*) FROM gs", {}, [&](const Row& row) {
        rows = static_cast<qint64>(row.cell(0).toNumber());
        return false;
    });
    return rows;
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

} // namespace kelm::LostCardTable
