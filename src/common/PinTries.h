#pragma once

#include "common/PinTable.h"

#include <QHash>

namespace kelm {

// Wrong card passwords, counted per card: five within ten minutes lock the card for five minutes on
// every till, and the right password starts the count again. A database an older kelm-admin made has
// no table for the count; each till then counts alone, in memory.
class PinTries
{
public:
    static constexpr int MostWrong = 5;
    static constexpr int WindowMinutes = 10;
    static constexpr int LockMinutes = 5;

    // Looks whether the database keeps the count (at each top-level screen's load).
    void refresh(Database& db);

    // The end of the card's lock while it is locked.
    std::optional<QDateTime> lockedUntil(Database& db, const QString& cardNumber);
    // Counts a wrong password; the end of the lock when this one locked the card.
    std::optional<QDateTime> countWrong(Database& db, const QString& cardNumber);
    // The right password: the count starts again.
    void forget(Database& db, const QString& cardNumber);

private:
    std::optional<PinTable::Tries> tries(Database& db, const QString& cardNumber);

    bool m_shared = true;
    QHash<QString, PinTable::Tries> m_local;
};

} // namespace kelm
