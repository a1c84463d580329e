#include "accounts/TrendPage.h"

#include "entry/Module1.h"

#include <QChart>
#include <QChartView>
#include <QCategoryAxis>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineSeries>
#include <QPushButton>
#include <QValueAxis>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace kelm {

namespace {

double niceStep(double rough)
{
    const double power = std::pow(10.0, std::floor(std::log10(rough)));
    for (const double factor : {1.0, 2.0, 5.0}) {
        if (factor * power >= rough)
            return factor * power;
    }
    return 10 * power;
}

} // namespace

TrendPage::TrendPage(Module1& module, Runner runner, Days days, QWidget* parent)
    : AccountsPage(QStringLiteral("TrendPage"), module, std::move(runner), parent)
    , m_days(std::move(days))
    , m_heading(addLabel(QStringLiteral("TrendHeading")))
    , m_note(addLabel(QStringLiteral("TrendNote")))
    , m_series(new QLineSeries)
    , m_dayAxis(new QCategoryAxis)
    , m_amountAxis(new QValueAxis)
{
    m_note->setWordWrap(true);
    m_note->hide();
    m_series->setObjectName(QStringLiteral("TopUpSeries"));
    m_series->setName(QStringLiteral("每日充值金额"));
    // A range of one day is a single point, which a line alone would not show.
    m_series->setPointsVisible(true);
    m_dayAxis->setObjectName(QStringLiteral("DayAxis"));
    // Each date label stands under its own day's point.
    m_dayAxis->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    m_amountAxis->setObjectName(QStringLiteral("AmountAxis"));
    m_amountAxis->setTitleText(QStringLiteral("元"));

    auto* chart = new QChart;
    chart->setObjectName(QStringLiteral("TrendChartContent"));
    chart->legend()->hide();
    chart->addSeries(m_series);
    chart->addAxis(m_dayAxis, Qt::AlignBottom);
    chart->addAxis(m_amountAxis, Qt::AlignLeft);
    m_series->attachAxis(m_dayAxis);
    m_series->attachAxis(m_amountAxis);
    // Room on the right for half the last day's label, which stands under its point.
    chart->setMargins(QMargins(4, 4, 40, 4));
    m_view = new QChartView(chart, this);
    m_view->setObjectName(QStringLiteral("TrendChart"));
    m_view->setRenderHint(QPainter::Antialiasing);

    QPushButton* refresh = addButton(QStringLiteral("TrendRefresh"), QStringLiteral("刷新"));
    auto* top = new QHBoxLayout;
    top->addWidget(m_heading, 1);
    top->addWidget(refresh);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(m_view, 1);
    layout->addWidget(m_note);

    connect(refresh, &QPushButton::clicked, this, [this] { run([this] { draw(); }); });
}

void TrendPage::opened()
{
    run([this] { draw(); });
}

void TrendPage::draw()
{
    const std::optional<Books::Period> days = m_days();
    if (!days)
        return;
    const qint64 length = days->from.daysTo(days->to) + 1;
    if (length > MostDays) {
        module().messages().inform(QStringLiteral("趋势图一次最多画 %1 天，%2 至 %3 有 %4 天：请在“日报”页缩小日期范围。")
                                       .arg(MostDays)
                                       .arg(dateText(days->from), dateText(days->to))
                                       .arg(length));
        return;
    }
    std::vector<Books::DailyTotal> totals;
    std::vector<Books::Unreadable> unreadable;
    whileWaiting([&] { totals = Books::dailyTopUps(module().database(), *days, &unreadable); });

    QList<QPointF> points;
    points.reserve(static_cast<qsizetype>(totals.size()));
    double low = 0;
    double high = 0;
    qint64 count = 0;
    Amount sum;
    for (const Books::DailyTotal& day : totals) {
        const double yuan = day.sum.toDouble();
        points.append(QPointF(static_cast<qreal>(days->from.daysTo(day.date)), yuan));
        low = std::min(low, yuan);
        high = std::max(high, yuan);
        count += day.count;
        sum += day.sum;
    }
    m_series->replace(points);
    m_totals = std::move(totals);

    // A label every day for a short range; for a longer one every week, month or year.
    qint64 every = 1;
    for (const qint64 span : {1, 2, 7, 14, 30, 61, 91, 182, 365, 730}) {
        every = span;
        if (length / span <= 12)
            break;
    }
    for (const QString& label : m_dayAxis->categoriesLabels())
        m_dayAxis->remove(label);
    // A single day still gets an axis of some width around its point.
    m_dayAxis->setStartValue(length == 1 ? -0.5 : 0);
    const bool sameYear = days->from.year() == days->to.year();
    for (qint64 day = 0; day < length; day += every) {
        const QDate date = days->from.addDays(day);
        m_dayAxis->append(date.toString(sameYear ? QStringLiteral("MM-dd") : QStringLiteral("yyyy-MM-dd")),
                          static_cast<qreal>(day));
    }
    m_dayAxis->setRange(length == 1 ? -0.5 : 0, length == 1 ? 0.5 : static_cast<qreal>(length - 1));

    // Gridlines at round amounts: 1, 2 or 5 times a power of ten, about five of them.
    const double step = niceStep((high > low ? high - low : 1) / 5);
    m_amountAxis->setTickType(QValueAxis::TicksDynamic);
    m_amountAxis->setTickAnchor(0);
    m_amountAxis->setTickInterval(step);
    m_amountAxis->setRange(std::floor(low / step) * step, std::max(std::ceil(high / step), 1.0) * step);
    m_amountAxis->setLabelFormat(step < 1 ? QStringLiteral("%.2f") : QStringLiteral("%.0f"));

    m_heading->setText(QStringLiteral("%1 至 %2 每天的充值金额（元）：%3 天，充值 %4 笔，合计 %5 元。")
                           .arg(dateText(days->from), dateText(days->to))
                           .arg(length)
                           .arg(count)
                           .arg(sum.toText()));
    m_note->setText(QStringLiteral("另有 %1 条充值记录的日期或金额无法识别，没有画进图里，见“日报”页。").arg(unreadable.size()));
    m_note->setVisible(!unreadable.empty());
    m_drawn = true;
}

QList<QStringList> TrendPage::exportRows() const
{
    if (!m_drawn)
        return {};
    QList<QStringList> rows{{m_heading->text()}};
    if (m_note->isVisibleTo(this))
        rows.append({m_note->text()});
    rows.append(QStringList());
    rows.append({QStringLiteral("日期"), QStringLiteral("笔数"), QStringLiteral("金额")});
    for (const Books::DailyTotal& day : m_totals)
        rows.append({dateText(day.date), QString::number(day.count), day.sum.toText()});
    return rows;
}

} // namespace kelm
