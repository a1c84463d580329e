#include "common/Books.h"

#include "common/AuditTable.h"
#include "common/LostCardTable.h"
#include "common/RedemptionTable.h"
#include "common/TopUpTable.h"

#include <algorithm>
#include <string>
#include <unordered_map>

namespace kelm::Books {

namespace {

const QString TopUps = QStringLiteral("qzjl");
const QString Redemptions = QStringLiteral("lpdhjr");

// A day-by-day list longer than this is a mistyped year, not a report anyone reads.
constexpr qint64 MostDays = 36600;

struct TransparentHash
{
    using is_transparent = void;
    std::size_t operator()(std::string_view text) const { return std::hash<std::string_view>()(text); }
};

// Gives each distinct text (a date, an operator, a gift, as the row's UTF-8 bytes) a number of its
// own, in the order first met, and remembers the last one asked for: a report of a million rows meets
// a few hundred texts, mostly the same one many rows in a row, and makes no QString per row.
class TextNumbers
{
public:
    // The text's number and whether it was met just now for the first time.
    std::pair<std::size_t, bool> number(std::string_view text)
    {
        if (m_last && *m_last == text)
            return {m_lastNumber, false};
        auto found = m_numbers.find(text);
        const bool first = found == m_numbers.end();
        if (first)
            found = m_numbers.emplace(std::string(text), m_numbers.size()).first;
        // Keys of an unordered_map stay where they are while others are added.
        m_last = &found->first;
        m_lastNumber = found->second;
        return {m_lastNumber, first};
    }

private:
    std::unordered_map<std::string, std::size_t, TransparentHash, std::equal_to<>> m_numbers;
    const std::string* m_last = nullptr;
    std::size_t m_lastNumber = 0;
};

// Each distinct date text read once.
class DateTexts
{
public:
    std::optional<QDate> read(std::string_view text)
    {
        const auto [number, first] = m_numbers.number(text);
        if (first)
            m_dates.push_back(ShopDate::parse(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()))));
        return m_dates[number];
    }

private:
    TextNumbers m_numbers;
    std::vector<std::optional<QDate>> m_dates;
};

QString textOf(std::string_view utf8)
{
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

QString textOf(const Cell& cell)
{
    return cell.isNull() ? QString() : cell.toText();
}

Unreadable unreadableTopUp(const TopUpTable::Scanned& row)
{
    return {TopUps, textOf(row.date), textOf(row.cardNumber), textOf(row.amount), textOf(row.operatorName)};
}

Unreadable unreadableRedemption(const RedemptionTable::Scanned& row)
{
    return {Redemptions, textOf(row.date), textOf(row.cardNumber), textOf(row.points), textOf(row.operatorName)};
}

// Dated lines first, oldest first; lines of one day keep the order they came in.
bool earlier(const HistoryLine& a, const HistoryLine& b)
{
    if (!a.date || !b.date)
        return a.date.has_value() && !b.date.has_value();
    return *a.date < *b.date;
}

} // namespace

std::vector<MemberTable::Member> findMembers(Database& db, const QString& text, int limit)
{
    return MemberTable::find(db, text, limit);
}

std::optional<MemberHistory> memberHistory(Database& db, const QString& cardNumber)
{
    // A blank number is no card; several members may have none.
    if (cardNumber.trimmed().isEmpty())
        return std::nullopt;
    std::optional<MemberTable::Member> member = MemberTable::findByCard(db, cardNumber);
    if (!member)
        return std::nullopt;
    MemberHistory history{std::move(*member), {}, {}};
    for (TopUpTable::Stored& row : TopUpTable::selectByCard(db, cardNumber)) {
        TopUpTable::Record& r = row.record;
        HistoryLine line;
        line.date = ShopDate::parse(r.date);
        line.dateText = r.date;
        line.business = QStringLiteral("充值");
        line.detail = r.business;
        line.amount = row.amount.value_or(Amount());
        line.operatorName = r.operatorName;
        if (!line.date || !row.amount)
            history.unreadable.push_back({TopUps, r.date, r.cardNumber, r.amountText, r.operatorName});
        history.lines.push_back(std::move(line));
    }
    for (RedemptionTable::Stored& row : RedemptionTable::selectByCard(db, cardNumber)) {
        RedemptionTable::Record& r = row.record;
        HistoryLine line;
        line.date = ShopDate::parse(r.date);
        line.dateText = r.date;
        line.business = QStringLiteral("兑换");
        line.detail = r.gift;
        line.points = row.points.value_or(Amount());
        line.operatorName = r.operatorName;
        if (!line.date || !row.points)
            history.unreadable.push_back({Redemptions, r.date, r.cardNumber, r.pointsText, r.operatorName});
        history.lines.push_back(std::move(line));
    }
    std::stable_sort(history.lines.begin(), history.lines.end(), earlier);
    Amount toppedUp;
    Amount redeemed;
    for (HistoryLine& line : history.lines) {
        toppedUp += line.amount;
        redeemed += line.points;
        line.toppedUpSoFar = toppedUp;
        line.redeemedSoFar = redeemed;
    }
    return history;
}

DayReport dayReport(Database& db, Period period)
{
    DayReport report;
    report.period = period;

    DateTexts dates;
    TextNumbers operators;
    TopUpTable::scan(db, [&](const TopUpTable::Scanned& row) {
        const std::optional<QDate> date = dates.read(row.date);
        if (date && !period.contains(*date))
            return;
        const std::optional<Amount> amount = Amount::fromCell(row.amount);
        if (!date || !amount) {
            report.unreadable.push_back(unreadableTopUp(row));
            return;
        }
        const auto [number, first] = operators.number(row.operatorName);
        if (first)
            report.topUps.push_back({textOf(row.operatorName), 0, {}});
        OperatorTakings& takings = report.topUps[number];
        ++takings.count;
        takings.sum += *amount;
        ++report.topUpCount;
        report.topUpSum += *amount;
    });

    TextNumbers gifts;
    RedemptionTable::scan(db, [&](const RedemptionTable::Scanned& row) {
        const std::optional<QDate> date = dates.read(row.date);
        if (date && !period.contains(*date))
            return;
        const std::optional<Amount> points = Amount::fromCell(row.points);
        if (!date || !points) {
            report.unreadable.push_back(unreadableRedemption(row));
            return;
        }
        const auto [number, first] = gifts.number(row.gift);
        if (first)
            report.redemptions.push_back({textOf(row.gift), 0, {}});
        GiftRedemptions& redemptions = report.redemptions[number];
        ++redemptions.count;
        redemptions.points += *points;
        ++report.redemptionCount;
        report.redemptionPoints += *points;
    });

    std::sort(report.topUps.begin(), report.topUps.end(),
              [](const OperatorTakings& a, const OperatorTakings& b) { return a.operatorName < b.operatorName; });
    std::sort(report.redemptions.begin(), report.redemptions.end(),
              [](const GiftRedemptions& a, const GiftRedemptions& b) { return a.gift < b.gift; });
    return report;
}

Liability liability(Database& db)
{
    Liability owed;
    MemberTable::scanHoldings(db, [&](const Cell& balance, const Cell& points) {
        ++owed.members;
        const std::optional<Amount> balanceAmount = Amount::fromCell(balance);
        const std::optional<Amount> pointsAmount = Amount::fromCell(points);
        if (balanceAmount)
            owed.balances += *balanceAmount;
        if (pointsAmount)
            owed.points += *pointsAmount;
        if (!balanceAmount || !pointsAmount)
            ++owed.unreadable;
    });
    owed.lostCards = LostCardTable::count(db);
    LostCardTable::scanBalancesHeld(db, [&](const Cell& balance) {
        if (const std::optional<Amount> amount = Amount::fromCell(balance))
            owed.lostBalances += *amount;
    });
    return owed;
}

std::vector<DailyTotal> dailyTopUps(Database& db, Period period, std::vector<Unreadable>* unreadable)
{
    std::vector<DailyTotal> days;
    if (!period.from.isValid() || !period.to.isValid() || period.from > period.to)
        return days;
    if (period.from.daysTo(period.to) >= MostDays) {
        throw Error(QStringLiteral("所选时期从 %1 到 %2，超过一百年，无法逐日列出。请缩短时期。")
                        .arg(period.from.toString(Qt::ISODate), period.to.toString(Qt::ISODate))
                        .toStdString());
    }
    for (QDate day = period.from; day <= period.to; day = day.addDays(1))
        days.push_back({day, 0, {}});

    DateTexts dates;
    TopUpTable::scan(db, [&](const TopUpTable::Scanned& row) {
        const std::optional<QDate> date = dates.read(row.date);
        if (date && !period.contains(*date))
            return;
        const std::optional<Amount> amount = Amount::fromCell(row.amount);
        if (!date || !amount) {
            if (unreadable)
                unreadable->push_back(unreadableTopUp(row));
            return;
        }
        DailyTotal& day = days[static_cast<std::size_t>(period.from.daysTo(*date))];
        ++day.count;
        day.sum += *amount;
    });
    return days;
}

std::vector<AuditLine> audit(Database& db, const AuditFilter& filter, int limit)
{
    if (!AuditTable::exists(db))
        return {};
    AuditTable::Filter conditions;
    conditions.cardNumber = filter.cardNumber.trimmed();
    conditions.operatorName = filter.operatorName.trimmed();
    if (filter.period) {
        // 时间 is yyyy-mm-dd hh:mm:ss: the period's days are the times from its first day's date up to
        // (not including) the date of the day after its last.
        constexpr auto Day = QStringView(u"yyyy-MM-dd");
        if (filter.period->from.isValid())
            conditions.from = filter.period->from.toString(Day);
        const QDate after = filter.period->to.addDays(1);
        if (after.isValid())
            conditions.before = after.toString(Day);
        else if (!filter.period->to.isValid())
            return {}; // a period that ends on no day holds no time
    }
    return AuditTable::selectNewestFirst(db, conditions, limit);
}

} // namespace kelm::Books
