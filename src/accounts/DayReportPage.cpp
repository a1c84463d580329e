#include "accounts/DayReportPage.h"

#include "accounts/AccountsList.h"
#include "entry/Module1.h"

#include <QDateEdit>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace kelm {

namespace {

QGroupBox* framed(const QString& objectName, const QString& title, QWidget* content, QWidget* parent)
{
    auto* frame = new QGroupBox(title, parent);
    frame->setObjectName(objectName);
    auto* layout = new QVBoxLayout(frame);
    layout->setContentsMargins(4, 4, 4, 4);
    content->setParent(frame);
    layout->addWidget(content);
    return frame;
}

} // namespace

DayReportPage::DayReportPage(Module1& module, Runner runner, QWidget* parent)
    : AccountsPage(QStringLiteral("DayReportPage"), module, std::move(runner), parent)
{
    const QDate today = QDate::currentDate();
    m_from = addDateEdit(QStringLiteral("DateFrom"), today);
    m_to = addDateEdit(QStringLiteral("DateTo"), today);
    QPushButton* report = addButton(QStringLiteral("Report"), QStringLiteral("统计"));
    auto* dates = new QHBoxLayout;
    dates->addWidget(addLabel(QStringLiteral("DateFromLabel"), QStringLiteral("从")));
    dates->addWidget(m_from);
    dates->addWidget(addLabel(QStringLiteral("DateToLabel"), QStringLiteral("到")));
    dates->addWidget(m_to);
    dates->addWidget(report);
    dates->addStretch(1);

    m_heading = addLabel(QStringLiteral("ReportHeading"));
    m_heading->setWordWrap(true);
    m_topUps = new AccountsList(QStringLiteral("TopUpsByOperator"),
                                {QStringLiteral("操作员"), QStringLiteral("笔数"), QStringLiteral("金额")}, {5, 2, 3},
                                {1, 2});
    m_redemptions = new AccountsList(QStringLiteral("RedemptionsByGift"),
                                     {QStringLiteral("礼品"), QStringLiteral("笔数"), QStringLiteral("积分")},
                                     {5, 2, 3}, {1, 2});
    m_unreadable = new AccountsList(QStringLiteral("ReportUnreadable"),
                                    {QStringLiteral("表"), QStringLiteral("日期"), QStringLiteral("卡号"),
                                     QStringLiteral("金额或积分"), QStringLiteral("操作员")},
                                    {3, 5, 5, 4, 4}, {3});
    auto* lists = new QHBoxLayout;
    lists->addWidget(framed(QStringLiteral("TopUpsFrame"), QStringLiteral("充值（按操作员）"), m_topUps, this));
    lists->addWidget(
        framed(QStringLiteral("RedemptionsFrame"), QStringLiteral("积分兑换（按礼品）"), m_redemptions, this));

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(dates);
    layout->addWidget(m_heading);
    layout->addLayout(lists, 3);
    layout->addWidget(framed(QStringLiteral("UnreadableFrame"),
                             QStringLiteral("日期或金额无法识别的记录（可能属于这几天，没有计入上面的合计）"), m_unreadable,
                             this),
                      2);

    connect(report, &QPushButton::clicked, this, [this] { run([this] { this->report(); }); });
}

std::optional<Books::Period> DayReportPage::period()
{
    const Books::Period days{m_from->date(), m_to->date()};
    if (days.from > days.to) {
        module().messages().inform(QStringLiteral("开始日期 %1 晚于结束日期 %2，请重新选择日期！")
                                       .arg(dateText(days.from), dateText(days.to)));
        return std::nullopt;
    }
    return days;
}

void DayReportPage::report()
{
    const std::optional<Books::Period> days = period();
    if (!days)
        return;
    Books::DayReport books;
    whileWaiting([&] { books = Books::dayReport(module().database(), *days); });

    std::vector<AccountsList::Row> topUps;
    for (const Books::OperatorTakings& takings : books.topUps)
        topUps.push_back({{takings.operatorName, QString::number(takings.count), takings.sum.toText()}});
    topUps.push_back({{QStringLiteral("合计"), QString::number(books.topUpCount), books.topUpSum.toText()},
                      AccountsList::Mark::Total});
    m_topUps->setRows(std::move(topUps));

    std::vector<AccountsList::Row> redemptions;
    for (const Books::GiftRedemptions& gift : books.redemptions)
        redemptions.push_back({{gift.gift, QString::number(gift.count), gift.points.toText()}});
    redemptions.push_back({{QStringLiteral("合计"), QString::number(books.redemptionCount),
                            books.redemptionPoints.toText()},
                           AccountsList::Mark::Total});
    m_redemptions->setRows(std::move(redemptions));

    std::vector<AccountsList::Row> unreadable;
    for (const Books::Unreadable& row : books.unreadable) {
        unreadable.push_back({{row.table == QLatin1String("qzjl") ? QStringLiteral("充值") : QStringLiteral("兑换"),
                               row.date, row.cardNumber, row.amount, row.operatorName},
                              AccountsList::Mark::Unreadable});
    }
    m_unreadable->setRows(std::move(unreadable));

    QString heading = QStringLiteral("%1 至 %2：充值 %3 笔，合计 %4 元；兑换 %5 笔，合计 %6 积分。")
                          .arg(dateText(days->from), dateText(days->to))
                          .arg(books.topUpCount)
                          .arg(books.topUpSum.toText())
                          .arg(books.redemptionCount)
                          .arg(books.redemptionPoints.toText());
    if (!books.unreadable.empty())
        heading += QStringLiteral("另有 %1 条记录无法识别，列在下面。").arg(books.unreadable.size());
    m_heading->setText(heading);
    m_reported = true;
}

QList<QStringList> DayReportPage::exportRows() const
{
    if (!m_reported)
        return {};
    QList<QStringList> rows{{m_heading->text()}, {}, {QStringLiteral("充值（按操作员）")}};
    rows << m_topUps->table() << QStringList() << QStringList(QStringLiteral("积分兑换（按礼品）"))
         << m_redemptions->table();
    if (m_unreadable->rowCount() > 0)
        rows << QStringList() << QStringList(QStringLiteral("无法识别的记录")) << m_unreadable->table();
    return rows;
}

} // namespace kelm
