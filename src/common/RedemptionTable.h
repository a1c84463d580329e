#pragma once

#include "common/Database.h"

namespace kelm {

// Table lpdhjr: one row per gift redeemed for points; the quantity is always 1.
namespace RedemptionTable {

struct Record
{
    QString date; // the system's short date form
    QString cardNumber;
    QString name;
    QString gift;
    QString pointsText; // the gift's price as the gift list showed it
    QString operatorName;
};

void insert(Database& db, const Record& redemption);

} // namespace RedemptionTable
} // namespace kelm
