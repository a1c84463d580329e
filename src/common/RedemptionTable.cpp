#include "common/RedemptionTable.h"

namespace kelm::RedemptionTable {

void insert(Database& db, const Record& r)
{
    const SqlParam params[] = {r.date, r.cardNumber, r.name, r.gift, r.pointsText, r.operatorName};
    db.execute("insert into [lpdhjr] (日期,卡号,姓名,礼品,数量,积分,操作员) values (?,?,?,?,'1',?,?)", params);
}

} // namespace kelm::RedemptionTable
