#pragma once

#include "accounts/AccountsPage.h"
#include "common/Books.h"

#include <optional>
#include <vector>

class QChartView;
class QCategoryAxis;
class QLineSeries;
class QValueAxis;

namespace kelm {

// 充值趋势: the top-ups of each day of the day report's days as a line, one point a day, days
// without top-ups at zero. Drawn afresh each time the page is opened, and on 刷新.
class TrendPage : public AccountsPage
{
    Q_OBJECT

public:
    // The days to draw, as the day report's date boxes name them; none when they name no days.
    using Days = std::function<std::optional<Books::Period>()>;

    TrendPage(Module1& module, Runner runner, Days days, QWidget* parent = nullptr);

    QList<QStringList> exportRows() const override;
    QString exportName() const override { return QStringLiteral("充值趋势"); }
    void opened() override;

    // The most days one chart draws: ten years, a point a day.
    static constexpr qint64 MostDays = 3660;

private:
    void draw();

    Days m_days;
    QLabel* m_heading;        // TrendHeading
    QLabel* m_note;           // TrendNote: the rows the chart could not draw
    QChartView* m_view;       // TrendChart
    QLineSeries* m_series;    // TopUpSeries
    QCategoryAxis* m_dayAxis; // the days, counted from the first
    QValueAxis* m_amountAxis;
    std::vector<Books::DailyTotal> m_totals;
    bool m_drawn = false;
};

} // namespace kelm
