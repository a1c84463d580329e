#pragma once

#include "accounts/AccountsPage.h"
#include "common/Books.h"

#include <optional>

namespace kelm {

class AccountsList;

// 日报: over the days from and to, the top-ups each operator took (the cash to count at the end of
// a shift) and the gifts redeemed, with their totals, and the rows whose date or amount cannot be
// read, which might belong to the days asked for.
class DayReportPage : public AccountsPage
{
    Q_OBJECT

public:
    DayReportPage(Module1& module, Runner runner, QWidget* parent = nullptr);

    QList<QStringList> exportRows() const override;
    QString exportName() const override { return QStringLiteral("日报"); }

    // The days the date boxes name; none (the owner told why) when from lies after to.
    std::optional<Books::Period> period();

private:
    void report();

    QDateEdit* m_from; // DateFrom
    QDateEdit* m_to;   // DateTo
    AccountsList* m_topUps;      // TopUpsByOperator
    AccountsList* m_redemptions; // RedemptionsByGift
    AccountsList* m_unreadable;  // ReportUnreadable
    QLabel* m_heading;           // ReportHeading
    bool m_reported = false;
};

} // namespace kelm
