#pragma once

#include "common/Database.h"

#include <QDateTime>

#include <optional>

namespace kelm {

// Table kelm_pin: the wrong card passwords typed for each card, shared by every till. Times are UTC.
namespace PinTable {

struct Tries
{
    int wrong = 0;
    QDateTime firstWrong;
    QDateTime lockedUntil; // invalid while the card is not locked
};

bool exists(Database& db);
std::optional<Tries> select(Database& db, const QString& cardNumber);
// Stores the card's tries in place of what was kept for it.
void replace(Database& db, const QString& cardNumber, const Tries& tries);
void remove(Database& db, const QString& cardNumber);

} // namespace PinTable
} // namespace kelm
