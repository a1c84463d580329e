#include "common/LostCardTable.h"

namespace kelm::LostCardTable {

void insert(Database& db, const MemberTable::Member& m)
{
    const SqlParam params[] = {m.date, m.cardNumber, m.name, m.address, m.phone, m.password, m.idNumber};
    db.execute("insert into [gs] (日期,卡号,姓名,联系地址,联系电话,密码,身份证号) values (?,?,?,?,?,?,?)", params);
}

} // namespace kelm::LostCardTable
