#include "common/TopUpTable.h"

namespace kelm::TopUpTable {

void insert(Database& db, const Record& t)
{
    const SqlParam params[] = {t.date, t.cardNumber, t.holder, t.business, t.amountText, t.operatorName};
    db.execute("insert into [qzjl] (日期,卡号,持卡人,业务,金额,操作员) values (?,?,?,?,?,?)", params);
}

} // namespace kelm::TopUpTable
