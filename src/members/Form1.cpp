#include "members/Form1.h"
#include "members/FindBar.h"

#include "common/Blanks.h"
#include "common/CompactTableModel.h"
#include "common/LostCardTable.h"
#include "common/MemberTable.h"
#include "entry/Module1.h"
#include "common/ReportListView.h"
#include "entry/ScreenRegistry.h"

#include <QAction>
#include <QShortcut>
#include <QPointer>
#include <QGroupBox>
#include <QLineEdit>

#include <optional>

namespace kelm {

namespace {

const QString KeepPassword = QStringLiteral("不改请留空");

// A member as the audit keeps it: never the password.
QString describe(const MemberTable::Member& m, bool withAccount)
{
    QString text = QStringLiteral("姓名 %1；地址 %2；电话 %3；身份证号 %4").arg(m.name, m.address, m.phone, m.idNumber);
    if (withAccount)
        text += QStringLiteral("；余额 %1；积分 %2").arg(m.balance.text(), m.points.text());
    return text;
}

} // namespace

const QStringList Form1::Commands = {
    QStringLiteral("增加"), QStringLiteral("修改"), QStringLiteral("删除"),   QStringLiteral("保存"), QStringLiteral("发卡"),
    QStringLiteral("挂失"), QStringLiteral("初始化"), QStringLiteral("充值"), QStringLiteral("退出"),
};

Form1::Form1(ScreenRegistry& registry)
    : TopLevelScreen(registry, QStringLiteral("Form1"), QStringLiteral("会员管理"), QSize(15315, 11025))
    , m_frame(new QGroupBox(this))
    , m_cardSequences(registry.module().readerPort(), registry.module().cardKeyIdentifier())
{
    const QStyle::StandardPixmap icons[] = {
        QStyle::SP_FileIcon,           QStyle::SP_FileDialogDetailedView, QStyle::SP_TrashIcon,
        QStyle::SP_DialogSaveButton,   QStyle::SP_DriveHDIcon,            QStyle::SP_MessageBoxWarning,
        QStyle::SP_BrowserReload,      QStyle::SP_ArrowUp,                QStyle::SP_DialogCloseButton,
    };
    for (int i = 0; i < Commands.size(); ++i)
        addCommand(Commands[i], icons[i]);
    // Row commands wait for a row to be clicked, save for a command to prepare a change.
    for (int position : {2, 3, 4, 5, 6})
        button(position)->setEnabled(false);

    m_frame->setObjectName(QStringLiteral("Frame1"));
    m_frame->setGeometry(0, twips(1080), twips(15255), twips(1815));
    m_card = addTextBox(m_frame, QStringLiteral("Text5"), QStringLiteral("卡号："), 1080, 360, 3255);
    m_name = addTextBox(m_frame, QStringLiteral("Text1"), QStringLiteral("姓名："), 6000, 360, 1815);
    m_phone = addTextBox(m_frame, QStringLiteral("Text3"), QStringLiteral("联系电话："), 9600, 360, 2175);
    m_password = addTextBox(m_frame, QStringLiteral("Text4"), QStringLiteral("密码："), 13080, 360, 1815);
    m_address = addTextBox(m_frame, QStringLiteral("Text2"), QStringLiteral("地址："), 1080, 1080, 3255);
    m_idNumber = addTextBox(m_frame, QStringLiteral("Text6"), QStringLiteral("身份证号："), 6000, 1080, 3255);
    m_card->setMaxLength(MemberTable::Width::CardNumber);
    m_name->setMaxLength(MemberTable::Width::Name);
    m_phone->setMaxLength(MemberTable::Width::Phone);
    m_password->setMaxLength(MemberTable::Width::Password);
    m_address->setMaxLength(MemberTable::Width::Address);
    m_idNumber->setMaxLength(MemberTable::Width::IdNumber);
    m_name->setText(QStringLiteral("Vip"));
    m_password->setText(QString::fromLatin1(MemberTable::DefaultPassword));
    maskWithStars(m_password);
    for (QLineEdit* box : {m_name, m_phone, m_password, m_address, m_idNumber})
        box->setEnabled(false);

    m_cardTextBuffer = new QLineEdit(this);
    m_cardTextBuffer->setObjectName(QStringLiteral("Text12"));
    m_cardTextBuffer->hide();

    m_list = new ReportListView(this);
    m_list->setGeometry(0, twips(3000), twips(15255), twips(7935));
    m_model = new CompactTableModel(
        {QStringLiteral("序号"), QStringLiteral("日期"), QStringLiteral("姓名"), QStringLiteral("会员卡号"),
         QStringLiteral("身份证号码"), QStringLiteral("联系地址"), QStringLiteral("联系电话"), QStringLiteral("卡内余额"),
         QStringLiteral("会员积分")},
        {std::begin(MemberTable::ListColumns), std::end(MemberTable::ListColumns)}, this);
    m_list->setModel(m_model);
    connect(m_list, &QAbstractItemView::clicked, this, &Form1::itemClick);

    // The find line takes the top of the list's place while it is shown.
    auto* findBar = new FindBar(m_list, {2, 3, 4, 6}, this);
    const QRect listPlace = m_list->geometry();
    const int barHeight = findBar->sizeHint().height();
    findBar->setGeometry(listPlace.x(), listPlace.y(), listPlace.width(), barHeight);
    connect(findBar, &FindBar::found, this, &Form1::itemClick);
    connect(findBar, &FindBar::shownChanged, this, [this, listPlace, barHeight](bool shown) {
        m_list->setGeometry(shown ? listPlace.adjusted(0, barHeight, 0, 0) : listPlace);
    });
    auto* find = new QShortcut(QKeySequence::Find, this);
    find->setContext(Qt::WidgetWithChildrenShortcut);
    connect(find, &QShortcut::activated, findBar, [findBar] { findBar->open(); });
}

QAction* Form1::button(int position) const
{
    return command(Commands[position - 1]);
}

void Form1::load()
{
    module().readerPort().forget();
    paintToolbarBackground();
    loadSettingsAndConnect();
    m_list->setColumnDivisors({20, 10, 10, 10, 10, 10, 10, 10, 10});
    fillMemberList();
}

void Form1::fillMemberList()
{
    // The first screenful shows at once, the rest follows slice by slice; whoever needs the line
    // meanwhile has the list read to its end first.
    SharedConnection& connection = module().sharedConnection();
    m_model->fillFrom(MemberTable::openAll(connection.database()));
    if (m_model->isFilling()) {
        connection.readInBackground([model = QPointer<CompactTableModel>(m_model)] {
            if (model)
                model->finishFill();
        });
    }
}

void Form1::itemClick(const QModelIndex& index)
{
    if (!index.isValid())
        return;
    // The clicked row itself is read, so rows taken out of the list above it do not matter.
    const int row = index.row();
    m_selectedRow = m_model->runningNumber(row);
    m_name->setText(m_model->text(row, 2));
    m_card->setText(m_model->text(row, 3));
    m_idNumber->setText(m_model->text(row, 4));
    m_address->setText(m_model->text(row, 5));
    m_phone->setText(m_model->text(row, 6));
    for (int position : {2, 3, 5, 6})
        button(position)->setEnabled(true);
}

void Form1::runCommand(const QString& key)
{
    // A failure (a statement the database refuses, a member that is not there, a value that is
    // no number) ends the command where it happened, silently: what was done stays done and the
    // screen keeps the state it had reached.
    try {
        const int position = static_cast<int>(Commands.indexOf(key)) + 1;
        // A command works on the whole list: one that comes while the list still fills waits for
        // it, but save and exit, which read the list anew or leave it, end the reading.
        if (position == 4 || position == 9)
            m_model->stopFill();
        else
            m_model->finishFill();
        switch (position) {
        case 1:
            addMember();
            break;
        case 2:
            editMember();
            break;
        case 3:
            deleteMember();
            break;
        case 4:
            save();
            break;
        case 5:
            issueCard();
            break;
        case 6:
            reportLost();
            break;
        case 7:
            initialiseCard();
            break;
        case 8:
            rechargeCard();
            break;
        case 9:
            unload();
            break;
        default:
            break;
        }
    } catch (const RefusalError& refusal) {
        // A card number two members share: the cashier is told why nothing happened.
        module().messages().inform(QString::fromUtf8(refusal.what()));
    } catch (const std::exception&) {
    }
}

QString Form1::proposeCardNumber(const QDateTime& now)
{
    const QDate date = now.date();
    return QString::number(date.year()) + QString::number(date.month()) + QString::number(date.day())
        + now.time().toString(QStringLiteral("H:mm:ss")).remove(u':');
}

void Form1::setRecordBoxesEnabled(bool enabled)
{
    for (QLineEdit* box : {m_name, m_phone, m_password, m_address, m_idNumber})
        box->setEnabled(enabled);
}

void Form1::setButtonsEnabled(std::initializer_list<int> positions, bool enabled)
{
    for (int position : positions)
        button(position)->setEnabled(enabled);
}

QString Form1::unusedCardNumber()
{
    // Two adds within one second would propose the same number: the next second's number is
    // proposed instead of one a member already has.
    QDateTime when = QDateTime::currentDateTime();
    QString number = proposeCardNumber(when);
    for (int tries = 0; tries < 60 && MemberTable::cardNumberTaken(module().database(), number); ++tries) {
        when = when.addSecs(1);
        number = proposeCardNumber(when);
    }
    return number;
}

void Form1::addMember()
{
    m_entryMode = Adding;
    m_model->restoreRows();
    m_card->setText(unusedCardNumber());
    m_name->setText(QStringLiteral("Vip"));
    m_phone->clear();
    m_password->setText(QString::fromLatin1(MemberTable::DefaultPassword));
    m_address->clear();
    m_idNumber->clear();
    setRecordBoxesEnabled(true);
    setButtonsEnabled({1}, false);
    setButtonsEnabled({4}, true);
}

void Form1::editMember()
{
    if (m_selectedRow == 0)
        return;
    m_model->restoreRows();
    setRecordBoxesEnabled(true);
    // The member's password is kept unless a new one is typed: the box starts empty and says so.
    m_password->clear();
    m_password->setPlaceholderText(KeepPassword);
    setButtonsEnabled({1, 2}, false);
    setButtonsEnabled({4}, true);
    m_entryMode = Editing;
}

void Form1::deleteMember()
{
    if (m_selectedRow == 0)
        return;
    if (!module().messages().confirm(QStringLiteral("你真的确定删除选定的会员吗？")))
        return;
    // Only a member the shop owes nothing may go: balance and points both used up (a value never
    // set counts as nothing). Anyone else's card can only be reported lost.
    const std::optional<MemberTable::Member> member = MemberTable::findByCard(module().database(), trimBlanks(m_card->text()));
    if (!member)
        throw DatabaseError("没有卡号为“" + m_card->text().toStdString() + "”的会员。");
    const auto usedUp = [](const StoredNumber& number) {
        if (number.isNull())
            return true;
        if (!number.value())
            throw DatabaseError("类型不匹配：数据库中的值不是数字。");
        return *number.value() == 0;
    };
    const bool deletable = usedUp(member->balance) && usedUp(member->points);
    if (deletable) {
        setButtonsEnabled({1, 2, 3}, false);
        setButtonsEnabled({4}, true);
        takeSelectedRow();
        m_entryMode = Deleting;
    } else {
        module().messages().inform(QStringLiteral("该卡不能删除，只能挂失!"));
    }
}

void Form1::reportLost()
{
    if (m_selectedRow == 0)
        return;
    if (!module().messages().confirm(QStringLiteral("你真的确定挂失选定的会员吗？")))
        return;
    setButtonsEnabled({1, 2, 3, 6}, false);
    setButtonsEnabled({4}, true);
    takeSelectedRow();
    m_entryMode = ReportingLost;
}

void Form1::takeSelectedRow()
{
    m_model->restoreRows();
    m_model->takeRow(m_model->rowOfRunningNumber(m_selectedRow));
}

void Form1::save()
{
    const MemberTable::Member member{
        QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd")),
        trimBlanks(m_card->text()),
        trimBlanks(m_name->text()),
        trimBlanks(m_address->text()),
        trimBlanks(m_phone->text()),
        trimBlanks(m_password->text()),
        trimBlanks(m_idNumber->text()),
    };
    Database& db = module().database();
    MessageBoxService& messages = module().messages();
    AuditTrail& audit = module().audit();
    // Each change is written whole, with its audit row, or not at all; a failure leaves the change
    // pending.
    switch (m_entryMode) {
    case Adding:
        if (!insertMember(member))
            return;
        messages.inform(QStringLiteral("会员添加成功"));
        break;
    case Editing: {
        Transaction transaction(db);
        const std::optional<MemberTable::Member> before = MemberTable::findByCard(db, member.cardNumber);
        const bool newPassword = !member.password.isEmpty();
        if (before && MemberTable::update(db, member, newPassword) == 1)
            audit.record(db, {QStringLiteral("会员修改"), member.cardNumber, describe(*before, false),
                              describe(member, false), newPassword ? QStringLiteral("密码已改") : QString()});
        transaction.commit();
        messages.inform(QStringLiteral("修改成功"));
        break;
    }
    case Deleting: {
        Transaction transaction(db);
        const std::optional<MemberTable::Member> before = MemberTable::findByCard(db, member.cardNumber);
        if (before && MemberTable::remove(db, member.cardNumber) == 1)
            audit.record(db, {QStringLiteral("会员删除"), member.cardNumber, describe(*before, true), {}, {}});
        transaction.commit();
        messages.inform(QStringLiteral("删除成功"));
        break;
    }
    case ReportingLost: {
        // The lost card keeps the member's own password, which the screen never shows.
        Transaction transaction(db);
        const std::optional<MemberTable::Member> before = MemberTable::findByCard(db, member.cardNumber);
        MemberTable::Member lost = member;
        if (before)
            lost.password = before->password;
        LostCardTable::insert(db, lost);
        if (before && MemberTable::remove(db, member.cardNumber) == 1)
            audit.record(db, {QStringLiteral("会员挂失"), member.cardNumber, describe(*before, true), {}, {}});
        transaction.commit();
        messages.inform(QStringLiteral("会员卡挂失成功，可重新补发会员卡！"));
        break;
    }
    default:
        break;
    }
    fillMemberList();
    m_entryMode = Nothing;
    m_selectedRow = 0;
    m_password->setPlaceholderText(QString());
    setRecordBoxesEnabled(false);
    setButtonsEnabled({1}, true);
    setButtonsEnabled({4}, false);
}

bool Form1::insertMember(const MemberTable::Member& member)
{
    // One member per card number; members without a card (a blank number) may be many. The check
    // and the insert run in one transaction, and the table's unique index stops a second till that
    // adds the same number at the same moment.
    Database& db = module().database();
    const bool hasCard = !member.cardNumber.isEmpty();
    const auto refuse = [&] {
        module().messages().inform(
            QStringLiteral("卡号“%1”已经有会员使用，不能重复添加！请换一个卡号后再保存。").arg(member.cardNumber));
        m_card->setFocus();
        return false;
    };
    try {
        Transaction transaction(db);
        if (hasCard && MemberTable::cardNumberTaken(db, member.cardNumber))
            return refuse();
        MemberTable::insert(db, member);
        module().audit().record(db, {QStringLiteral("会员添加"), member.cardNumber, {}, describe(member, false), {}});
        transaction.commit();
        return true;
    } catch (const DatabaseError&) {
        if (hasCard && MemberTable::cardNumberTaken(db, member.cardNumber))
            return refuse();
        throw;
    }
}

void Form1::issueCard()
{
    // The card itself guards against a second issue; the member table is not asked.
    const IssueOutcome outcome = m_cardSequences.issue(m_card->text(), m_readBuffer);
    m_cardTextBuffer->setText(Card::upToFirstZero(Card::blockText(m_readBuffer)));
    switch (outcome) {
    case IssueOutcome::Issued:
        module().messages().inform(QStringLiteral("发卡成功！"));
        break;
    case IssueOutcome::IssueFailed:
        module().messages().inform(m_cardSequences.failureMessage(QStringLiteral("发卡失败！")));
        break;
    case IssueOutcome::AlreadyIssued:
        module().messages().inform(QStringLiteral("此卡已经发行，不能重复发卡！"));
        break;
    }
    m_cardSequences.halt();
}

void Form1::initialiseCard()
{
    const InitialiseOutcome outcome = m_cardSequences.initialise();
    module().messages().inform(outcome == InitialiseOutcome::Initialised
                                   ? QStringLiteral("初始化成功！")
                                   : m_cardSequences.failureMessage(QStringLiteral("初始化失败！")));
    m_cardSequences.halt();
}

void Form1::rechargeCard()
{
    // A fresh buffer: a card that cannot be read leaves it zero, and zeros are no member's number.
    std::array<std::uint8_t, 16> buffer{};
    m_cardSequences.readCard(buffer);
    const std::optional<MemberTable::Member> member =
        MemberTable::findByCard(module().database(), Card::cardNumber(Card::blockText(buffer)));
    if (!member)
        return;
    // A member without a password is not on the default one: the password dialog decides.
    if (member->password == QLatin1String(MemberTable::DefaultPassword)) {
        registry().openRechargeDialog();
    } else {
        registry().askPassword(PasswordRoute::Recharge);
    }
}

void Form1::closeSteps()
{
    m_model->stopFill();
    module().readerPort().close();
    closeConnection();
}

} // namespace kelm
