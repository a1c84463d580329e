#include "points/Form4.h"

#include "common/Blanks.h"
#include "common/CompactTableModel.h"
#include "common/GiftTable.h"
#include "common/MemberTable.h"
#include "entry/Module1.h"
#include "common/NumberText.h"
#include "common/RedemptionTable.h"
#include "common/ReportListView.h"
#include "entry/ScreenRegistry.h"

#include <QAction>
#include <QDate>
#include <QGroupBox>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QLocale>

namespace kelm {

namespace {

const QString CardNotRead = QStringLiteral("请正确放置IC卡后，重试”读卡“操作");

} // namespace

const QStringList Form4::Commands = {
    QStringLiteral("读卡"),     QStringLiteral("积分兑换"), QStringLiteral("积分修改"),
    QStringLiteral("礼品管理"), QStringLiteral("保存"),     QStringLiteral("退出"),
};

Form4::Form4(ScreenRegistry& registry)
    : TopLevelScreen(registry, QStringLiteral("Form4"), QStringLiteral("积分管理"), QSize(11295, 8535))
    , m_memberFrame(new QGroupBox(this))
    , m_giftFrame(new QGroupBox(QStringLiteral("可兑换的礼品"), this))
    , m_cardSequences(registry.module().readerPort(), registry.module().cardKeyIdentifier())
{
    const QStyle::StandardPixmap icons[] = {
        QStyle::SP_DriveFDIcon,   QStyle::SP_DialogApplyButton, QStyle::SP_FileDialogDetailedView,
        QStyle::SP_DirIcon,       QStyle::SP_DialogSaveButton,  QStyle::SP_DialogCloseButton,
    };
    for (int i = 0; i < Commands.size(); ++i)
        addCommand(Commands[i], icons[i]);

    // Four rows: card number and name; telephone and ID-card number; address; points.
    m_memberFrame->setObjectName(QStringLiteral("Frame1"));
    m_memberFrame->setGeometry(twips(120), twips(1020), twips(11055), twips(2580));
    m_card = addTextBox(m_memberFrame, QStringLiteral("Text5"), QStringLiteral("卡号："), 1440, 240, 3615);
    m_name = addTextBox(m_memberFrame, QStringLiteral("Text1"), QStringLiteral("姓名："), 6960, 240, 3615);
    m_phone = addTextBox(m_memberFrame, QStringLiteral("Text3"), QStringLiteral("联系电话："), 1440, 780, 3615);
    m_idNumber = addTextBox(m_memberFrame, QStringLiteral("Text6"), QStringLiteral("身份证号："), 6960, 780, 3615);
    m_address = addTextBox(m_memberFrame, QStringLiteral("Text2"), QStringLiteral("地址："), 1440, 1320, 9135);
    m_points = addTextBox(m_memberFrame, QStringLiteral("Text4"), QStringLiteral("积分："), 1440, 1860, 2415);
    m_name->setText(QStringLiteral("Vip"));
    for (QLineEdit* box : {m_card, m_name, m_phone, m_idNumber, m_address, m_points})
        box->setEnabled(false);

    m_giftFrame->setObjectName(QStringLiteral("Frame2"));
    m_giftFrame->setGeometry(twips(120), twips(3720), twips(11055), twips(4695));
    m_list = new ReportListView(m_giftFrame);
    m_list->setGeometry(twips(120), twips(300), twips(10815), twips(4275));
    m_model = new CompactTableModel(
        {QStringLiteral("序号"), QStringLiteral("名称"), QStringLiteral("积分"), QStringLiteral("数量")},
        {"名称", "积分", "数量"}, this);
    m_list->setModel(m_model);
}

void Form4::load()
{
    registry().dropPasswordRoute();
    module().readerPort().forget();
    paintToolbarBackground();
    loadSettingsAndConnect();
    m_list->setColumnDivisors({15, 5, 10, 7});
    fillGiftList();
}

void Form4::showMember(const QString& cardText, const MemberTable::Member& member)
{
    m_card->setText(cardText);
    m_phone->setText(member.phone);
    m_idNumber->setText(member.idNumber);
    m_address->setText(member.address);
    m_points->setText(member.points.text());
    m_storedPoints = member.points;
}

void Form4::fillGiftList()
{
    Database& db = module().database();
    m_model->fill([&](const RowHandler& onRow) { GiftTable::selectAll(db, onRow); });
}

void Form4::runCommand(const QString& key)
{
    runHandler([&] {
        switch (Commands.indexOf(key)) {
        case 0:
            readCard();
            break;
        case 1:
            redeem();
            break;
        case 2:
            editPoints();
            break;
        case 3:
            openGiftCatalogue();
            break;
        case 4:
            savePoints();
            break;
        case 5:
            unload();
            break;
        default:
            break;
        }
    });
}

void Form4::readCard()
{
    // A fresh buffer for every read, so a card that does not answer cannot pass for the one read
    // before it.
    std::array<std::uint8_t, 16> buffer{};
    const std::int16_t status = m_cardSequences.readCard(buffer);
    const QString cardText = Card::blockText(buffer);

    std::optional<MemberTable::Member> member;
    if (status == 0)
        member = MemberTable::findByCard(module().database(), Card::cardNumber(cardText));
    // No card, a card of another installation or one no member has: the boxes keep the member
    // shown before, and the cashier is told to lay the card down again.
    if (!member) {
        module().messages().inform(m_cardSequences.failureMessage(CardNotRead, QStringLiteral("读卡失败！")));
        return;
    }
    if (member->password == QLatin1String(MemberTable::DefaultPassword)) {
        showMember(cardText, *member);
        m_cardSequences.beep();
    } else {
        // The password dialog reads the card itself and fills the boxes after a correct password.
        registry().askPassword(PasswordRoute::PointsScreen);
    }
}

std::optional<int> Form4::selectedGiftRow() const
{
    // Rows are never taken out of this list, so the selected view row is the gift's list row.
    const QModelIndexList rows = m_list->selectionModel()->selectedRows();
    if (rows.isEmpty())
        return std::nullopt;
    return rows.first().row();
}

void Form4::redeem()
{
    if (m_card->text().isEmpty())
        return;
    MessageBoxService& messages = module().messages();

    // A redemption starts from the points the table held when they were last read or written here,
    // never from what was typed into the box: typed points count only through 保存.
    const QString pointsText = m_storedPoints.text();
    if (pointsText.trimmed().isEmpty()) {
        messages.inform(QStringLiteral("这位会员的积分是空的，不能兑换！"));
        return;
    }
    if (!NumberText::parse(pointsText)) {
        messages.inform(QStringLiteral("这位会员的积分“%1”不是数字，不能兑换！").arg(pointsText));
        return;
    }
    const std::optional<std::int16_t> points = NumberText::parseInt16(pointsText);
    if (!points) {
        messages.inform(QStringLiteral("积分 %1 超出了可兑换的范围（-32768 到 32767），不能兑换！").arg(pointsText));
        return;
    }
    const std::optional<int> row = selectedGiftRow();
    if (!row) {
        messages.inform(QStringLiteral("请先在礼品列表中选择要兑换的礼品！"));
        return;
    }
    const QString gift = m_model->text(*row, 1);
    const QString priceText = m_model->text(*row, 2);
    const std::optional<double> price = m_model->number(*row, 2);
    if (!price) {
        messages.inform(QStringLiteral("礼品“%1”的积分“%2”不是数字，不能兑换！").arg(gift, priceText));
        return;
    }
    const std::optional<double> stock = m_model->number(*row, 3);
    if (!stock) {
        messages.inform(
            QStringLiteral("礼品“%1”的数量“%2”不是数字，不能兑换！").arg(gift, m_model->text(*row, 3)));
        return;
    }
    if (!(*price <= *points && *stock > 0)) {
        messages.note(QStringLiteral("积分不够或者礼品的数量为零"));
        return;
    }

    // The points, the stock and the record are written together or not at all, and the points and
    // the stock only while the tables still hold what this screen shows: a redemption another till
    // made in between is never written over.
    Database& db = module().database();
    const QString cardNumber = Card::cardNumber(m_card->text());
    const QString newPoints = NumberText::format(*points - *price);
    const QString stockText = NumberText::format(*stock - 1);
    enum class Outcome { Redeemed, MemberGone, Changed } outcome = Outcome::Redeemed;
    if (!runStep(QStringLiteral("兑换没有完成：积分、礼品库存和兑换记录都没有改动，请重试。"), [&] {
            Transaction transaction(db);
            if (MemberTable::updatePointsIfUnchanged(db, cardNumber, newPoints, m_storedPoints) == 0) {
                outcome = MemberTable::findByCard(db, cardNumber) ? Outcome::Changed : Outcome::MemberGone;
                return;
            }
            if (GiftTable::updateQuantityIfUnchanged(db, gift, stockText, *stock) == 0) {
                outcome = Outcome::Changed;
                return;
            }
            RedemptionTable::insert(db, {QLocale::system().toString(QDate::currentDate(), QLocale::ShortFormat),
                                         cardNumber, trimBlanks(m_name->text()), gift, priceText,
                                         module().operatorName()});
            module().audit().record(db, {QStringLiteral("积分兑换"), cardNumber, pointsText, newPoints,
                                         QStringLiteral("礼品 %1，积分 %2，库存 %3→%4")
                                             .arg(gift, priceText, NumberText::format(*stock), stockText)});
            transaction.commit();
        }))
        return;
    switch (outcome) {
    case Outcome::Redeemed:
        m_points->setText(newPoints);
        m_storedPoints = StoredNumber::written(newPoints);
        m_model->setText(*row, 3, stockText);
        messages.inform(QStringLiteral("兑换成功"));
        break;
    case Outcome::MemberGone:
        messages.inform(QStringLiteral("兑换没有完成：找不到卡号为“%1”的会员，积分、礼品库存和兑换记录都没有改动。"
                                       "请重新读卡。")
                            .arg(cardNumber));
        break;
    case Outcome::Changed:
        showCurrentPointsAndStock(cardNumber, *row);
        messages.inform(QStringLiteral("兑换没有进行：另一台收银机刚刚改动了这位会员的积分或礼品“%1”的库存，"
                                       "积分、礼品库存和兑换记录都没有改动。现在显示的是最新的积分和库存，请核对后重试。")
                            .arg(gift));
        break;
    }
}

void Form4::showCurrentPointsAndStock(const QString& cardNumber, int giftRow)
{
    Database& db = module().database();
    if (const std::optional<MemberTable::Member> member = MemberTable::findByCard(db, cardNumber)) {
        m_points->setText(member->points.text());
        m_storedPoints = member->points;
    }
    if (const std::optional<StoredNumber> stock = GiftTable::quantityByName(db, m_model->text(giftRow, 1)))
        m_model->setText(giftRow, 3, stock->text());
}

void Form4::editPoints()
{
    if (m_card->text().isEmpty())
        return;
    m_points->setEnabled(true);
    module().messages().note(QStringLiteral("在积分栏直接修改积分，然后点击保存！"));
}

void Form4::savePoints()
{
    // The enabled points box is the only sign that a correction is under way.
    if (!m_points->isEnabled())
        return;
    Database& db = module().database();
    const QString cardNumber = Card::cardNumber(m_card->text());
    const QString pointsText = trimBlanks(m_points->text());
    qint64 changed = 0;
    if (!runStep(QStringLiteral("积分修改没有完成：积分没有改动，请重试。"), [&] {
            Transaction transaction(db);
            changed = MemberTable::updatePointsIfUnchanged(db, cardNumber, pointsText, m_storedPoints);
            if (changed == 0)
                return;
            module().audit().record(db, {QStringLiteral("积分修改"), cardNumber, m_storedPoints.text(), pointsText, {}});
            transaction.commit();
        }))
        return;
    if (changed == 0) {
        // The box stays open so the cashier can decide again.
        const std::optional<MemberTable::Member> member = MemberTable::findByCard(db, cardNumber);
        if (!member) {
            module().messages().inform(
                QStringLiteral("找不到卡号为“%1”的会员，积分没有保存。请重新读卡。").arg(cardNumber));
            return;
        }
        m_points->setText(member->points.text());
        m_storedPoints = member->points;
        module().messages().inform(QStringLiteral("积分没有保存：另一台收银机刚刚改动了这位会员的积分，现在是 %1。"
                                                  "请核对后重新输入并保存。")
                                       .arg(member->points.text()));
        return;
    }
    m_storedPoints = StoredNumber::written(pointsText);
    m_points->setEnabled(false);
    module().messages().note(QStringLiteral("积分修改成功"));
}

void Form4::openGiftCatalogue()
{
    // The catalogue's load opens the connection again.
    closeConnection();
    hide();
    try {
        registry().openGiftCatalogue();
    } catch (const std::exception&) {
        // The catalogue could not load: the cashier gets the points screen back, still working.
        show();
        try {
            loadSettingsAndConnect();
        } catch (const std::exception&) {
            // The catalogue's failure is the one reported; the next command reports its own.
        }
        throw;
    }
}

void Form4::closeSteps()
{
    module().readerPort().close();
    closeConnection();
}

} // namespace kelm
