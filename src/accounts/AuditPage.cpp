#include "accounts/AuditPage.h"

#include "accounts/AccountsList.h"
#include "common/Books.h"
#include "common/MemberTable.h"
#include "entry/Module1.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace kelm {

namespace {

// The newest lines a search shows; a narrower search finds older ones.
constexpr int MostLines = 10000;

} // namespace

AuditPage::AuditPage(Module1& module, Runner runner, QWidget* parent)
    : AccountsPage(QStringLiteral("AuditPage"), module, std::move(runner), parent)
{
    m_card = new QLineEdit(this);
    m_card->setObjectName(QStringLiteral("AuditCard"));
    m_card->setMaxLength(MemberTable::Width::CardNumber);
    m_operator = new QLineEdit(this);
    m_operator->setObjectName(QStringLiteral("AuditOperator"));
    m_operator->setMaxLength(MemberTable::Width::Name);
    m_byDate = new QCheckBox(QStringLiteral("日期从"), this);
    m_byDate->setObjectName(QStringLiteral("AuditByDate"));
    const QDate today = QDate::currentDate();
    m_from = addDateEdit(QStringLiteral("AuditFrom"), today);
    m_to = addDateEdit(QStringLiteral("AuditTo"), today);
    m_from->setEnabled(false);
    m_to->setEnabled(false);
    QPushButton* find = addButton(QStringLiteral("AuditFind"), QStringLiteral("查询"));

    auto* filters = new QHBoxLayout;
    filters->addWidget(addLabel(QStringLiteral("AuditCardLabel"), QStringLiteral("卡号：")));
    filters->addWidget(m_card, 3);
    filters->addWidget(addLabel(QStringLiteral("AuditOperatorLabel"), QStringLiteral("操作员：")));
    filters->addWidget(m_operator, 2);
    filters->addWidget(m_byDate);
    filters->addWidget(m_from);
    filters->addWidget(addLabel(QStringLiteral("AuditToLabel"), QStringLiteral("到")));
    filters->addWidget(m_to);
    filters->addWidget(find);

    m_list = new AccountsList(QStringLiteral("AuditList"),
                              {QStringLiteral("时间"), QStringLiteral("收银机"), QStringLiteral("操作员"),
                               QStringLiteral("卡号"), QStringLiteral("操作"), QStringLiteral("原值"),
                               QStringLiteral("新值"), QStringLiteral("说明")},
                              {12, 6, 6, 10, 6, 6, 6, 14}, {}, this);
    m_count = addLabel(QStringLiteral("AuditCount"));

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(filters);
    layout->addWidget(m_list, 1);
    layout->addWidget(m_count);

    connect(m_byDate, &QCheckBox::toggled, this, [this](bool on) {
        m_from->setEnabled(on);
        m_to->setEnabled(on);
    });
    connect(find, &QPushButton::clicked, this, [this] { run([this] { this->find(); }); });
    for (QLineEdit* box : {m_card, m_operator})
        connect(box, &QLineEdit::returnPressed, this, [this] { run([this] { this->find(); }); });
}

void AuditPage::find()
{
    Books::AuditFilter filter;
    filter.cardNumber = m_card->text().trimmed();
    filter.operatorName = m_operator->text().trimmed();
    if (m_byDate->isChecked()) {
        if (m_from->date() > m_to->date()) {
            module().messages().inform(QStringLiteral("开始日期 %1 晚于结束日期 %2，请重新选择日期！")
                                           .arg(dateText(m_from->date()), dateText(m_to->date())));
            return;
        }
        filter.period = Books::Period{m_from->date(), m_to->date()};
    }
    std::vector<Books::AuditLine> lines;
    whileWaiting([&] { lines = Books::audit(module().database(), filter, MostLines); });

    std::vector<AccountsList::Row> rows;
    rows.reserve(lines.size());
    for (const Books::AuditLine& line : lines) {
        rows.push_back({{line.time, line.till, line.operatorName, line.cardNumber, line.what, line.before, line.after,
                         line.note}});
    }
    m_list->setRows(std::move(rows));
    m_count->setText(lines.size() < MostLines
                         ? QStringLiteral("共 %1 条记录，最新的在最上面。").arg(lines.size())
                         : QStringLiteral("只列出了最新的 %1 条记录：请用卡号、操作员或日期缩小范围。").arg(MostLines));
    m_shown = true;
}

QList<QStringList> AuditPage::exportRows() const
{
    if (!m_shown)
        return {};
    return m_list->table();
}

} // namespace kelm
