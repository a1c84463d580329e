#include "recharge/Form3.h"

#include "common/MemberTable.h"
#include "entry/Module1.h"
#include "entry/ScreenRegistry.h"

#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>

namespace kelm {

namespace {

// A padlock on a member card, drawn rather than shipped so the dialog needs no picture file.
QPixmap padlockPicture(int size)
{
    QPixmap picture(size, size);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal unit = size / 20.0;

    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0x2f, 0x6d, 0xb5));
    painter.drawRoundedRect(QRectF(unit, 5 * unit, 14 * unit, 9 * unit), unit, unit);
    painter.setBrush(QColor(0xf2, 0xc1, 0x2e));
    painter.drawRect(QRectF(unit, 7 * unit, 14 * unit, 1.5 * unit));

    painter.setPen(QPen(QColor(0x55, 0x55, 0x55), 1.6 * unit));
    painter.setBrush(Qt::NoBrush);
    painter.drawArc(QRectF(10 * unit, 7 * unit, 7 * unit, 8 * unit), 0, 180 * 16);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0xd4, 0xa0, 0x17));
    painter.drawRoundedRect(QRectF(9 * unit, 11 * unit, 9 * unit, 8 * unit), unit, unit);
    painter.setBrush(QColor(0x40, 0x30, 0x10));
    QPainterPath keyhole;
    keyhole.addEllipse(QPointF(13.5 * unit, 14 * unit), 1.1 * unit, 1.1 * unit);
    keyhole.addRect(QRectF(13 * unit, 14 * unit, unit, 3 * unit));
    painter.drawPath(keyhole.simplified());
    return picture;
}

} // namespace

Form3::Form3(ScreenRegistry& registry)
    : Screen(registry, QStringLiteral("Form3"), QStringLiteral("密码验证"), QSize(6390, 2880))
    , m_cardSequences(registry.module().readerPort(), registry.module().cardKeyIdentifier())
{
    auto* frame = new QGroupBox(this);
    frame->setObjectName(QStringLiteral("Frame1"));
    frame->setGeometry(twips(120), twips(60), twips(6150), twips(2700));

    auto* image = new QLabel(frame);
    image->setObjectName(QStringLiteral("Image1"));
    image->setGeometry(twips(240), twips(240), twips(900), twips(900));
    image->setPixmap(padlockPicture(twips(900)));

    auto* prompt = new QLabel(QStringLiteral("请输入密码："), frame);
    prompt->setObjectName(QStringLiteral("Label1"));
    prompt->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    prompt->setGeometry(twips(1320), twips(600), twips(1455), twips(375));
    m_password = addTextBox(frame, QStringLiteral("Text1"), QString(), 2835, 600, 3015);
    // No stored password is longer.
    m_password->setMaxLength(MemberTable::Width::Password);
    maskWithStars(m_password);

    m_ok = new QPushButton(QStringLiteral("确定"), frame);
    m_ok->setObjectName(QStringLiteral("Command1"));
    m_ok->setGeometry(twips(1560), twips(1800), twips(1455), twips(495));
    m_ok->setDefault(true);
    m_ok->setAutoDefault(true);
    m_cancel = new QPushButton(QStringLiteral("取消"), frame);
    m_cancel->setObjectName(QStringLiteral("Command2"));
    m_cancel->setGeometry(twips(3600), twips(1800), twips(1455), twips(495));
    m_cancel->setAutoDefault(true);

    connect(m_ok, &QPushButton::clicked, this, [this] { runHandler([this] { verify(); }); });
    // Cancel only puts the dialog away: the open reader stays (the typed password goes as it hides).
    connect(m_cancel, &QPushButton::clicked, this, [this] { hide(); });
}

void Form3::ask(PasswordRoute route, bool show)
{
    m_route = route;
    if (show)
        showScreen();
}

void Form3::load()
{
    setWindowFlag(Qt::WindowStaysOnTopHint, true);
    m_password->setFocus();
}

void Form3::verify()
{
    // The card is not halted afterwards: the dialog that follows reads it again at once.
    std::array<std::uint8_t, 16> buffer{};
    if (m_cardSequences.readCard(buffer) != 0) {
        module().messages().inform(m_cardSequences.failureMessage(
            QStringLiteral("你可能没有正确放置会员卡，读取会员卡失败！"), QStringLiteral("读取会员卡失败！")));
        return;
    }
    const QString cardText = Card::upToFirstZero(Card::blockText(buffer));
    const std::optional<MemberTable::Member> member =
        MemberTable::findByCard(module().database(), Card::cardNumber(Card::blockText(buffer)));
    if (!member) {
        module().messages().inform(QStringLiteral("此卡不是本店会员卡！"));
        return;
    }
    // A member without a password has none to type: the empty box matches it.
    m_storedPassword = member->password;
    const QString cardNumber = member->cardNumber;
    Database& db = module().database();
    PinTries& tries = module().pinTries();
    // Five wrong passwords in a row lock the card for a while on every till.
    if (const std::optional<QDateTime> until = tries.lockedUntil(db, cardNumber)) {
        module().messages().inform(
            QStringLiteral("密码输错次数太多，此卡已锁定到 %1，请到时再试。").arg(until->toString(QStringLiteral("HH:mm:ss"))));
        return;
    }
    // Exact: letter case and blanks are part of a password.
    if (m_password->text() != m_storedPassword) {
        if (const std::optional<QDateTime> until = tries.countWrong(db, cardNumber)) {
            module().messages().inform(QStringLiteral("密码连续输错 %1 次，此卡已锁定到 %2，请到时再试。")
                                           .arg(PinTries::MostWrong)
                                           .arg(until->toString(QStringLiteral("HH:mm:ss"))));
        } else {
            module().messages().inform(QStringLiteral("密码错误，请重新输入！"));
        }
        return;
    }
    tries.forget(db, cardNumber);
    switch (m_route) {
    case PasswordRoute::Recharge:
        // The recharge dialog reads the card again while the port is still open.
        registry().openRechargeDialog();
        unload();
        break;
    case PasswordRoute::PointsScreen:
        registry().showMemberOnPointsScreen(cardText, *member);
        m_cardSequences.beep();
        hide();
        break;
    case PasswordRoute::None:
        break;
    }
}

void Form3::hideEvent(QHideEvent* event)
{
    // A password never stays typed in a dialog nobody watches.
    m_password->clear();
    Screen::hideEvent(event);
}

void Form3::keyPressEvent(QKeyEvent* event)
{
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && m_ok->isEnabled()) {
        m_ok->click();
        return;
    }
    Screen::keyPressEvent(event);
}

void Form3::closeSteps()
{
    if (QWidget* memberScreen = registry().memberScreen())
        memberScreen->setEnabled(true);
    module().readerPort().close();
}

} // namespace kelm
