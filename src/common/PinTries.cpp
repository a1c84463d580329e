#include "common/PinTries.h"

#include "common/Blanks.h"

namespace kelm {

void PinTries::refresh(Database& db)
{
    m_shared = PinTable::exists(db);
}

std::optional<PinTable::Tries> PinTries::tries(Database& db, const QString& cardNumber)
{
    if (m_shared)
        return PinTable::select(db, cardNumber);
    const auto found = m_local.constFind(trimTrailingBlanks(cardNumber));
    if (found == m_local.constEnd())
        return std::nullopt;
    return *found;
}

std::optional<QDateTime> PinTries::lockedUntil(Database& db, const QString& cardNumber)
{
    const std::optional<PinTable::Tries> kept = tries(db, cardNumber);
    if (kept && kept->lockedUntil.isValid() && kept->lockedUntil > QDateTime::currentDateTimeUtc())
        return kept->lockedUntil.toLocalTime();
    return std::nullopt;
}

std::optional<QDateTime> PinTries::countWrong(Database& db, const QString& cardNumber)
{
    const QDateTime now = QDateTime::currentDateTimeUtc();
    PinTable::Tries next{1, now, {}};
    // A count older than the window, or one whose lock has run out, starts again.
    if (const std::optional<PinTable::Tries> kept = tries(db, cardNumber);
        kept && kept->firstWrong.isValid() && kept->firstWrong.addSecs(WindowMinutes * 60) > now
        && !kept->lockedUntil.isValid()) {
        next = {kept->wrong + 1, kept->firstWrong, {}};
    }
    if (next.wrong >= MostWrong)
        next.lockedUntil = now.addSecs(LockMinutes * 60);
    if (m_shared) {
        Transaction transaction(db);
        PinTable::replace(db, cardNumber, next);
        transaction.commit();
    } else {
        m_local.insert(trimTrailingBlanks(cardNumber), next);
    }
    if (next.lockedUntil.isValid())
        return next.lockedUntil.toLocalTime();
    return std::nullopt;
}

void PinTries::forget(Database& db, const QString& cardNumber)
{
    if (m_shared)
        PinTable::remove(db, cardNumber);
    else
        m_local.remove(trimTrailingBlanks(cardNumber));
}

} // namespace kelm
