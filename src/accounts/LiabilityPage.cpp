#include "accounts/LiabilityPage.h"

#include "common/Books.h"
#include "entry/Module1.h"

#include <QDateTime>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace kelm {

namespace {

struct Figure
{
    const char16_t* objectName;
    const char16_t* label;
};
constexpr Figure Figures[6] = {
    {u"LiabilityMembers", u"会员人数"},
    {u"LiabilityBalances", u"储值余额合计（元）"},
    {u"LiabilityPoints", u"积分合计"},
    {u"LiabilityLostCards", u"挂失的卡"},
    {u"LiabilityLostBalances", u"挂失卡号下的余额（元）"},
    {u"LiabilityUnreadable", u"余额或积分无法识别的会员"},
};

} // namespace

LiabilityPage::LiabilityPage(Module1& module, Runner runner, QWidget* parent)
    : AccountsPage(QStringLiteral("LiabilityPage"), module, std::move(runner), parent)
{
    // Six figures the owner reads at a glance, each in a tile of its own, filling the page.
    auto* tiles = new QGridLayout;
    for (int i = 0; i < 6; ++i) {
        const QString name = QString::fromUtf16(Figures[i].objectName);
        auto* tile = new QGroupBox(QString::fromUtf16(Figures[i].label), this);
        tile->setObjectName(name + QStringLiteral("Frame"));
        m_boxes[i] = addShowBox(name);
        m_boxes[i]->setParent(tile);
        m_boxes[i]->setAlignment(Qt::AlignCenter);
        m_boxes[i]->setFrame(false);
        QPalette clear = m_boxes[i]->palette();
        clear.setColor(QPalette::Base, Qt::transparent);
        m_boxes[i]->setPalette(clear);
        QFont large = m_boxes[i]->font();
        large.setPointSizeF(large.pointSizeF() * 2);
        large.setBold(true);
        m_boxes[i]->setFont(large);
        auto* inside = new QVBoxLayout(tile);
        inside->addWidget(m_boxes[i], 0, Qt::AlignVCenter);
        tiles->addWidget(tile, i / 3, i % 3);
    }
    auto* note = addLabel(QStringLiteral("LiabilityNote"),
                          QStringLiteral("储值余额合计是会员卡上还没有用掉的钱，即本店欠会员的储值。"
                                         "挂失的卡是挂失记录里的卡；挂失卡号下的余额是会员表中仍记在这些卡号下的余额。"
                                         "余额或积分不是数字的会员没有计入合计。"));
    note->setWordWrap(true);
    m_asOf = addLabel(QStringLiteral("LiabilityTime"));
    QPushButton* refresh = addButton(QStringLiteral("LiabilityRefresh"), QStringLiteral("刷新"));
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(m_asOf, 1);
    bottom->addWidget(refresh);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(tiles, 1);
    layout->addWidget(note);
    layout->addLayout(bottom);

    connect(refresh, &QPushButton::clicked, this, [this] { run([this] { this->refresh(); }); });
}

void LiabilityPage::opened()
{
    run([this] { refresh(); });
}

void LiabilityPage::refresh()
{
    Books::Liability books;
    whileWaiting([&] { books = Books::liability(module().database()); });
    const QString values[6] = {
        QString::number(books.members),  books.balances.toText(),     books.points.toText(),
        QString::number(books.lostCards), books.lostBalances.toText(), QString::number(books.unreadable),
    };
    for (int i = 0; i < 6; ++i)
        m_boxes[i]->setText(values[i]);
    m_asOf->setText(QStringLiteral("统计时间：%1")
                        .arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))));
    m_shown = true;
}

QList<QStringList> LiabilityPage::exportRows() const
{
    if (!m_shown)
        return {};
    QList<QStringList> rows{{QStringLiteral("项目"), QStringLiteral("数值")}};
    for (int i = 0; i < 6; ++i)
        rows.append({QString::fromUtf16(Figures[i].label), m_boxes[i]->text()});
    rows.append({m_asOf->text()});
    return rows;
}

} // namespace kelm
