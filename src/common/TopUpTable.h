#pragma once

#include "common/Database.h"

namespace kelm {

// Table qzjl: one row per top-up of a member's stored balance.
namespace TopUpTable {

struct Record
{
    QString date;       // the system's short date form
    QString cardNumber;
    QString holder;     // 持卡人
    QString business;   // 业务, "充值"
    QString amountText; // as typed
    QString operatorName;
};

void insert(Database& db, const Record& topUp);

} // namespace TopUpTable
} // namespace kelm
