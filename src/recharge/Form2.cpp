#include "recharge/Form2.h"

#include "common/Blanks.h"
#include "common/MemberTable.h"
#include "entry/Module1.h"
#include "common/NumberText.h"
#include "common/TopUpTable.h"
#include "entry/ScreenRegistry.h"

#include <QDate>
#include <QFrame>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>

#include <cmath>

namespace kelm {

namespace {

constexpr double MaxBalance = 1e15;

// A caption right-aligned before the box that starts at boxLeft, all in twips.
QLabel* addLabel(QWidget* parent, const QString& objectName, const QString& caption, int boxLeft, int top)
{
    auto* label = new QLabel(caption, parent);
    label->setObjectName(objectName);
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    label->setGeometry(twips(boxLeft - 1350), twips(top), twips(1290), twips(375));
    return label;
}

} // namespace

Form2::Form2(ScreenRegistry& registry)
    : Screen(registry, QStringLiteral("Form2"), QStringLiteral("会员卡充值"), QSize(9765, 5040))
    , m_cardSequences(registry.module().readerPort(), registry.module().cardKeyIdentifier())
{
    auto* frame = new QGroupBox(this);
    frame->setObjectName(QStringLiteral("Frame1"));
    frame->setGeometry(twips(120), twips(60), twips(9525), twips(4860));

    constexpr int left = 1440;
    constexpr int right = 6240;
    addLabel(frame, QStringLiteral("Label5"), QStringLiteral("卡号："), left, 360);
    m_card = addTextBox(frame, QStringLiteral("Text5"), QString(), left, 360, 3375);
    addLabel(frame, QStringLiteral("Label7"), QStringLiteral("姓名："), right, 360);
    m_name = addTextBox(frame, QStringLiteral("Text1"), QString(), right, 360, 3015);
    addLabel(frame, QStringLiteral("Label3"), QStringLiteral("联系电话："), left, 840);
    m_phone = addTextBox(frame, QStringLiteral("Text3"), QString(), left, 840, 3375);
    addLabel(frame, QStringLiteral("Label6"), QStringLiteral("身份证号："), right, 840);
    m_idNumber = addTextBox(frame, QStringLiteral("Text6"), QString(), right, 840, 3015);
    addLabel(frame, QStringLiteral("Label2"), QStringLiteral("地址："), left, 1320);
    m_address = addTextBox(frame, QStringLiteral("Text2"), QString(), left, 1320, 7815);
    addLabel(frame, QStringLiteral("Label1"), QStringLiteral("余额："), left, 1800);
    m_balanceBox = addTextBox(frame, QStringLiteral("Text4"), QString(), left, 1800, 3375);

    auto* line = new QFrame(frame);
    line->setObjectName(QStringLiteral("Line1"));
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    line->setGeometry(twips(240), twips(2400), twips(9045), twips(45));

    addLabel(frame, QStringLiteral("Label4"), QStringLiteral("充值金额："), left, 2640);
    m_amount = addTextBox(frame, QStringLiteral("Text7"), QString(), left, 2640, 3375);
    auto* yuan = new QLabel(QStringLiteral("元："), frame);
    yuan->setObjectName(QStringLiteral("Label8"));
    yuan->setGeometry(twips(left + 3375 + 90), twips(2640), twips(600), twips(375));

    m_ok = new QPushButton(QStringLiteral("确定"), frame);
    m_ok->setObjectName(QStringLiteral("Command1"));
    m_ok->setGeometry(twips(2640), twips(3600), twips(1695), twips(495));
    m_ok->setDefault(true);
    m_ok->setAutoDefault(true);
    m_cancel = new QPushButton(QStringLiteral("取消"), frame);
    m_cancel->setObjectName(QStringLiteral("Command2"));
    m_cancel->setGeometry(twips(5400), twips(3600), twips(1695), twips(495));
    m_cancel->setAutoDefault(true);

    m_name->setText(QStringLiteral("Vip"));
    for (QLineEdit* box : {m_name, m_phone, m_idNumber, m_address, m_balanceBox})
        box->setEnabled(false);
    // The card number stays selectable but cannot be typed over: a top-up always goes to the
    // member whose balance this dialog loaded.
    m_card->setReadOnly(true);
    setTabOrder(m_amount, m_ok);
    setTabOrder(m_ok, m_cancel);

    connect(m_ok, &QPushButton::clicked, this, [this] { runHandler([this] { recharge(); }); });
    connect(m_cancel, &QPushButton::clicked, this, [this] { unload(); });
}

void Form2::load()
{
    registry().dropPasswordRoute();
    setWindowFlag(Qt::WindowStaysOnTopHint, true);

    std::array<std::uint8_t, 16> buffer{};
    const std::int16_t status = m_cardSequences.readCard(buffer);
    m_card->setText(Card::upToFirstZero(Card::blockText(buffer)));
    if (status == 0) {
        m_cardSequences.beep();
        const QString cardNumber = Card::cardNumber(m_card->text());
        if (showMember(cardNumber))
            m_memberCard = cardNumber;
    } else {
        module().messages().inform(m_cardSequences.failureMessage(
            QStringLiteral("你可能没有正确放置会员卡，读取会员卡失败！"), QStringLiteral("读取会员卡失败！")));
    }
    m_cardSequences.halt();
    m_amount->setFocus();
}

bool Form2::showMember(const QString& cardNumber)
{
    const std::optional<MemberTable::Member> member = MemberTable::findByCard(module().database(), cardNumber);
    if (!member) {
        module().messages().inform(QStringLiteral("此卡不是本店会员卡，无法充值！"));
        return false;
    }
    m_phone->setText(member->phone);
    m_idNumber->setText(member->idNumber);
    m_address->setText(member->address);
    // A member whose balance was never set has nothing on the account yet: the first top-up
    // becomes the balance.
    m_storedBalance = member->balance;
    m_balanceBox->setText(m_storedBalance.isNull() ? QStringLiteral("0") : m_storedBalance.text());
    const std::optional<double> value = m_storedBalance.isNull() ? 0.0 : m_storedBalance.value();
    if (!value) {
        // Adding to a balance that is no number would replace it; it must be put right first.
        module().messages().inform(QStringLiteral("此会员卡的余额不是有效的数字，无法充值！"));
        m_balance = 0;
        return false;
    }
    m_balance = *value;
    return true;
}

void Form2::recharge()
{
    const QString amountText = m_amount->text();
    if (!m_memberCard) {
        module().messages().inform(QStringLiteral("没有读取到会员卡，无法充值！请放好会员卡后重新打开充值窗口。"));
        return;
    }
    const std::optional<double> amount = NumberText::parse(amountText);
    const double balance = amount ? m_balance + *amount : 0;
    // Balances are kept to 15 significant digits; a larger one is no till's top-up and would not
    // fit the balance column of a server.
    if (!amount || !(std::abs(*amount) < MaxBalance && std::abs(balance) < MaxBalance)) {
        module().messages().inform(QStringLiteral("请输入正确的充值金额！"));
        m_amount->setFocus();
        m_amount->selectAll();
        return;
    }

    // Taking money off a card is a correction, which a shop may keep to its office.
    if (*amount < 0 && !module().negativeTopUpsAllowed()) {
        module().messages().inform(QStringLiteral("这台收银机不允许负数充值，余额没有改动。"));
        m_amount->setFocus();
        m_amount->selectAll();
        return;
    }

    Database& db = module().database();
    const QString balanceText = NumberText::format(balance);
    // The balance and its record are written together or not at all. The balance is written only
    // while it is still the one this dialog showed: a top-up made by another till in between is
    // never overwritten.
    bool done = false;
    if (!runStep(QStringLiteral("充值没有完成：余额和充值记录都没有改动，请重试。"), [&] {
            Transaction transaction(db);
            if (MemberTable::updateBalanceIfUnchanged(db, *m_memberCard, balanceText, m_storedBalance) == 0)
                return;
            TopUpTable::insert(db, {QLocale::system().toString(QDate::currentDate(), QLocale::ShortFormat),
                                    *m_memberCard, trimBlanks(m_name->text()), QStringLiteral("充值"), amountText,
                                    module().operatorName()});
            module().audit().record(db, {*amount < 0 ? QStringLiteral("余额更正") : QStringLiteral("充值"), *m_memberCard,
                                         NumberText::format(m_balance), balanceText,
                                         QStringLiteral("金额 ") + amountText});
            transaction.commit();
            done = true;
        }))
        return;
    if (!done) {
        // Another till changed the balance, or the member is gone (deleted or reported lost).
        module().messages().inform(QStringLiteral("充值失败！"));
        return;
    }
    m_storedBalance = StoredNumber::written(balanceText);
    m_balance = balance;
    m_balanceBox->setText(balanceText);
    m_cardSequences.beep();
    module().messages().inform(QStringLiteral("充值成功！"));
}

void Form2::disableMemberScreen()
{
    if (m_closing)
        return;
    QWidget* memberScreen = registry().memberScreen();
    if (!memberScreen)
        return;
    if (m_heldScreen != memberScreen) {
        m_heldScreen = memberScreen;
        memberScreen->installEventFilter(this);
    }
    if (memberScreen->isEnabled())
        memberScreen->setEnabled(false);
}

void Form2::showEvent(QShowEvent* event)
{
    Screen::showEvent(event);
    disableMemberScreen();
}

void Form2::paintEvent(QPaintEvent* event)
{
    Screen::paintEvent(event);
    disableMemberScreen();
}

bool Form2::eventFilter(QObject* watched, QEvent* event)
{
    // The password dialog gives the member screen back when it unloads, right after it showed
    // this dialog; the member screen stays held for as long as this dialog is up.
    if (event->type() == QEvent::EnabledChange && watched == m_heldScreen && m_heldScreen->isEnabled() && isVisible())
        disableMemberScreen();
    return Screen::eventFilter(watched, event);
}

void Form2::keyPressEvent(QKeyEvent* event)
{
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && m_ok->isEnabled()) {
        m_ok->click();
        return;
    }
    Screen::keyPressEvent(event);
}

void Form2::closeSteps()
{
    m_closing = true;
    if (m_heldScreen)
        m_heldScreen->removeEventFilter(this);
    if (QWidget* memberScreen = registry().memberScreen())
        memberScreen->setEnabled(true);
    module().readerPort().close();
}

} // namespace kelm
