#include "accounts/HistoryPage.h"

#include "accounts/AccountsList.h"
#include "entry/Module1.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

namespace kelm {

namespace {

// The member's data as the boxes show it, left to right, top to bottom.
struct MemberField
{
    const char16_t* objectName;
    const char16_t* label;
};
constexpr MemberField MemberFields[8] = {
    {u"MemberCard", u"卡号："},       {u"MemberName", u"姓名："},   {u"MemberPhone", u"联系电话："},
    {u"MemberIdNumber", u"身份证号："}, {u"MemberBalance", u"余额："}, {u"MemberPoints", u"积分："},
    {u"MemberDate", u"开卡日期："},   {u"MemberAddress", u"联系地址："},
};

QStringList fieldValues(const MemberTable::Member& member)
{
    return {member.cardNumber,      member.name,          member.phone, member.idNumber,
            member.balance.text(), member.points.text(), member.date,  member.address};
}

const QString TopUp = QStringLiteral("充值");

} // namespace

HistoryPage::HistoryPage(Module1& module, Runner runner, QWidget* parent)
    : AccountsPage(QStringLiteral("HistoryPage"), module, std::move(runner), parent)
    , m_cardSequences(module.readerPort(), module.cardKeyIdentifier())
{
    auto* findRow = new QHBoxLayout;
    findRow->addWidget(addLabel(QStringLiteral("FindLabel"), QStringLiteral("卡号、姓名、电话或身份证号：")));
    m_text = new QLineEdit(this);
    m_text->setObjectName(QStringLiteral("FindText"));
    m_text->setMaxLength(MemberTable::Width::Name);
    findRow->addWidget(m_text, 1);
    QPushButton* find = addButton(QStringLiteral("Find"), QStringLiteral("查询"));
    QPushButton* read = addButton(QStringLiteral("ReadCard"), QStringLiteral("读卡"));
    findRow->addWidget(find);
    findRow->addWidget(read);

    m_found = new AccountsList(QStringLiteral("MemberList"),
                               {QStringLiteral("卡号"), QStringLiteral("姓名"), QStringLiteral("联系电话")}, {5, 3, 4},
                               {}, this);
    auto* frame = new QGroupBox(QStringLiteral("会员资料"), this);
    frame->setObjectName(QStringLiteral("MemberFrame"));
    auto* grid = new QGridLayout(frame);
    for (int i = 0; i < 8; ++i) {
        const QString name = QString::fromUtf16(MemberFields[i].objectName);
        auto* label = new QLabel(QString::fromUtf16(MemberFields[i].label), frame);
        label->setObjectName(name + QStringLiteral("Label"));
        label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        m_boxes[i] = addShowBox(name);
        m_boxes[i]->setParent(frame);
        // The address, the longest, takes a row of its own.
        const bool wide = i == 7;
        grid->addWidget(label, wide ? 4 : i / 2, wide ? 0 : (i % 2) * 2);
        grid->addWidget(m_boxes[i], wide ? 4 : i / 2, wide ? 1 : (i % 2) * 2 + 1, 1, wide ? 3 : 1);
    }
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(3, 1);
    // The members found are listed only when there is a choice to make.
    m_found->hide();
    auto* memberRow = new QHBoxLayout;
    memberRow->addWidget(m_found, 2);
    memberRow->addWidget(frame, 3);

    m_lines = new AccountsList(QStringLiteral("HistoryList"),
                               {QStringLiteral("日期"), QStringLiteral("业务"), QStringLiteral("内容"),
                                QStringLiteral("金额"), QStringLiteral("积分"), QStringLiteral("累计充值"),
                                QStringLiteral("累计兑换积分"), QStringLiteral("操作员"), QStringLiteral("备注")},
                               {10, 5, 9, 7, 6, 8, 9, 8, 10}, {3, 4, 5, 6}, this);
    m_summary = addLabel(QStringLiteral("HistorySummary"));
    m_summary->setWordWrap(true);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(findRow);
    layout->addLayout(memberRow);
    layout->addWidget(m_lines, 1);
    layout->addWidget(m_summary);

    connect(find, &QPushButton::clicked, this, [this] { run([this] { this->find(); }); });
    connect(m_text, &QLineEdit::returnPressed, this, [this] { run([this] { this->find(); }); });
    connect(read, &QPushButton::clicked, this, [this] { run([this] { readCard(); }); });
    connect(m_found, &QAbstractItemView::clicked, this,
            [this](const QModelIndex& index) { run([&] { pick(index); }); });
}

void HistoryPage::find()
{
    const QString text = m_text->text().trimmed();
    if (text.isEmpty()) {
        module().messages().inform(QStringLiteral("请输入要查询的卡号、姓名、电话或身份证号！"));
        return;
    }
    constexpr int Limit = 200;
    std::vector<MemberTable::Member> members;
    whileWaiting([&] { members = Books::findMembers(module().database(), text, Limit); });

    m_members = std::move(members);
    std::vector<AccountsList::Row> rows;
    for (const MemberTable::Member& member : m_members)
        rows.push_back({{member.cardNumber, member.name, member.phone}});
    m_found->setRows(std::move(rows));
    m_found->setVisible(m_members.size() > 1);
    clearMember();
    if (m_members.empty()) {
        module().messages().inform(QStringLiteral("找不到卡号、姓名、电话或身份证号为“%1”的会员。").arg(text));
        return;
    }
    if (m_members.size() == 1) {
        pick(m_found->model()->index(0, 0));
        return;
    }
    m_summary->setText(m_members.size() < Limit
                           ? QStringLiteral("找到 %1 位会员，请在上面的列表中点选一位。").arg(m_members.size())
                           : QStringLiteral("找到的会员超过 %1 位，只列出了前 %1 位：请输入完整的卡号、电话或身份证号。")
                                 .arg(Limit));
}

void HistoryPage::pick(const QModelIndex& index)
{
    if (!index.isValid() || index.row() >= static_cast<int>(m_members.size()))
        return;
    m_found->selectRow(index.row());
    const MemberTable::Member& member = m_members[static_cast<std::size_t>(index.row())];
    if (member.cardNumber.trimmed().isEmpty()) {
        // Top-ups and redemptions are kept under a card number: a member without one has none.
        clearMember();
        showMember(member);
        m_summary->setText(QStringLiteral("这位会员没有卡号，没有充值和兑换记录。"));
        return;
    }
    if (!showHistory(member.cardNumber)) {
        module().messages().inform(
            QStringLiteral("卡号为“%1”的会员已不在会员表中（可能刚被删除或挂失），请重新查询。").arg(member.cardNumber));
    }
}

void HistoryPage::readCard()
{
    // A fresh buffer for every read, so a card that does not answer cannot pass for the one read
    // before it.
    std::array<std::uint8_t, 16> buffer{};
    const std::int16_t status = m_cardSequences.readCard(buffer);
    m_cardSequences.halt();
    if (status != 0) {
        module().messages().inform(m_cardSequences.failureMessage(
            QStringLiteral("你可能没有正确放置会员卡，读取会员卡失败！"), QStringLiteral("读取会员卡失败！")));
        return;
    }
    const QString cardNumber = Card::cardNumber(Card::upToFirstZero(Card::blockText(buffer)));
    m_text->setText(cardNumber.trimmed());
    m_found->clear();
    m_found->hide();
    m_members.clear();
    if (cardNumber.trimmed().isEmpty() || !showHistory(cardNumber)) {
        clearMember();
        module().messages().inform(QStringLiteral("此卡不是本店会员卡！"));
        return;
    }
    m_cardSequences.beep();
}

bool HistoryPage::showHistory(const QString& cardNumber)
{
    std::optional<Books::MemberHistory> history;
    whileWaiting([&] { history = Books::memberHistory(module().database(), cardNumber); });
    if (!history)
        return false;
    showMember(history->member);

    // Lines come oldest first; those whose date cannot be read come last. The books list every row
    // they could not read once more among the unreadable: each is marked on its own line, and one no
    // line stands for is added at the end, so none is silently left out of the member's story.
    std::vector<Books::Unreadable> unmatched = history->unreadable;
    const auto takeUnreadable = [&](const Books::HistoryLine& line, bool topUp) -> std::optional<Books::Unreadable> {
        const QLatin1String table(topUp ? "qzjl" : "lpdhjr");
        for (auto it = unmatched.begin(); it != unmatched.end(); ++it) {
            if (it->table == table && it->date == line.dateText && it->operatorName == line.operatorName) {
                Books::Unreadable found = std::move(*it);
                unmatched.erase(it);
                return found;
            }
        }
        return std::nullopt;
    };
    std::vector<AccountsList::Row> rows;
    rows.reserve(history->lines.size() + unmatched.size());
    qint64 topUps = 0;
    qint64 redemptions = 0;
    Amount toppedUp;
    Amount redeemed;
    for (const Books::HistoryLine& line : history->lines) {
        const bool topUp = line.business == TopUp;
        (topUp ? topUps : redemptions) += 1;
        toppedUp = line.toppedUpSoFar;
        redeemed = line.redeemedSoFar;
        QString amount = topUp ? line.amount.toText() : QString();
        QString points = topUp ? QString() : line.points.toText();
        QString note;
        // A line the books could not value counts as nothing; it shows what the row holds.
        const bool valued = (topUp ? line.amount : line.points) != Amount();
        std::optional<Books::Unreadable> unreadable;
        if (!line.date || !valued)
            unreadable = takeUnreadable(line, topUp);
        const bool amountUnread = unreadable && !valued;
        if (amountUnread)
            (topUp ? amount : points) = unreadable->amount;
        if (!line.date)
            note = amountUnread ? QStringLiteral("日期和金额无法识别") : QStringLiteral("日期无法识别");
        else if (amountUnread)
            note = QStringLiteral("金额无法识别，未计入合计");
        rows.push_back({{line.date ? dateText(*line.date) : line.dateText, line.business, line.detail, amount, points,
                         line.toppedUpSoFar.toText(), line.redeemedSoFar.toText(), line.operatorName, note},
                        note.isEmpty() ? AccountsList::Mark::None : AccountsList::Mark::Unreadable});
    }
    for (const Books::Unreadable& row : unmatched) {
        const bool topUp = row.table == QLatin1String("qzjl");
        rows.push_back({{row.date, topUp ? TopUp : QStringLiteral("兑换"), QString(), topUp ? row.amount : QString(),
                         topUp ? QString() : row.amount, QString(), QString(), row.operatorName,
                         QStringLiteral("无法识别，未计入合计")},
                        AccountsList::Mark::Unreadable});
    }
    QString summary = QStringLiteral("充值 %1 笔，合计 %2 元；兑换 %3 笔，合计 %4 积分。")
                          .arg(topUps)
                          .arg(toppedUp.toText())
                          .arg(redemptions)
                          .arg(redeemed.toText());
    const auto marked = std::count_if(rows.begin(), rows.end(),
                                      [](const AccountsList::Row& row) { return row.mark != AccountsList::Mark::None; });
    if (marked > 0)
        summary += QStringLiteral("%1 条记录的日期或金额无法识别，标为红色；日期无法识别的列在最后。").arg(marked);
    m_lines->setRows(std::move(rows));
    m_summary->setText(summary);
    return true;
}

void HistoryPage::showMember(const MemberTable::Member& member)
{
    const QStringList values = fieldValues(member);
    for (int i = 0; i < 8; ++i) {
        m_boxes[i]->setText(values[i]);
        m_boxes[i]->setCursorPosition(0);
    }
    m_memberShown = true;
}

void HistoryPage::clearMember()
{
    for (QLineEdit* box : m_boxes)
        box->clear();
    m_lines->clear();
    m_summary->clear();
    m_memberShown = false;
}

QList<QStringList> HistoryPage::exportRows() const
{
    if (!m_memberShown)
        return {};
    QStringList labels;
    QStringList values;
    for (int i = 0; i < 8; ++i) {
        labels << QString::fromUtf16(MemberFields[i].label).chopped(1);
        values << m_boxes[i]->text();
    }
    QList<QStringList> rows{labels, values, {}};
    rows << m_lines->table();
    if (!m_summary->text().isEmpty())
        rows << QStringList() << QStringList(m_summary->text());
    return rows;
}

} // namespace kelm
