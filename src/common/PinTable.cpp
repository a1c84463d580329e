#include "common/PinTable.h"

#include "common/Blanks.h"

namespace kelm::PinTable {

namespace {

const QString TimeFormat = QStringLiteral("yyyy-MM-dd HH:mm:ss");

QString timeText(const QDateTime& time)
{
    return time.isValid() ? time.toUTC().toString(TimeFormat) : QString();
}

QDateTime timeOf(const Cell& cell)
{
    if (cell.isNull())
        return {};
    QDateTime time = QDateTime::fromString(cell.toText(), TimeFormat);
    time.setTimeSpec(Qt::UTC);
    return time;
}

} // namespace

bool exists(Database& db)
{
    return hasTable(db, "kelm_pin");
}

std::optional<Tries> select(Database& db, const QString& cardNumber)
{
    std::optional<Tries> tries;
    const SqlParam params[] = {trimTrailingBlanks(cardNumber)};
    db.query("SELECT 错误次数,首次错误,锁定至 FROM kelm_pin WHERE 卡号=?", params, [&](const Row& row) {
        const Cell wrong = row.cell(0);
        tries = Tries{wrong.isNull() ? 0 : static_cast<int>(wrong.toNumber()), timeOf(row.cell(1)), timeOf(row.cell(2))};
        return false;
    });
    return tries;
}

void replace(Database& db, const QString& cardNumber, const Tries& tries)
{
    remove(db, cardNumber);
    const SqlParam params[] = {trimTrailingBlanks(cardNumber), qint64(tries.wrong), timeText(tries.firstWrong),
                               tries.lockedUntil.isValid() ? SqlParam(timeText(tries.lockedUntil)) : SqlParam()};
    db.execute("insert into kelm_pin (卡号,错误次数,首次错误,锁定至) values (?,?,?,?)", params);
}

void remove(Database& db, const QString& cardNumber)
{
    const SqlParam params[] = {trimTrailingBlanks(cardNumber)};
    db.execute("delete from kelm_pin where 卡号=?", params);
}

} // namespace kelm::PinTable
