#include "points/Form4.h"

#include "common/CompactTableModel.h"
#include "common/GiftTable.h"
#include "common/Module1.h"
#include "common/ReportListView.h"

#include <QAction>
#include <QGroupBox>
#include <QLineEdit>

namespace kelm {

const QStringList Form4::Commands = {
    QStringLiteral("读卡"),     QStringLiteral("积分兑换"), QStringLiteral("积分修改"),
    QStringLiteral("礼品管理"), QStringLiteral("保存"),     QStringLiteral("退出"),
};

Form4::Form4(ScreenRegistry& registry)
    : TopLevelScreen(registry, QStringLiteral("Form4"), QStringLiteral("积分管理"), QSize(11295, 8535))
    , m_memberFrame(new QGroupBox(this))
    , m_giftFrame(new QGroupBox(QStringLiteral("可兑换的礼品"), this))
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
    module().verifyTarget = 0;
    module().readerHandle = -1;
    paintToolbarBackground();
    loadSettingsAndConnect();
    m_list->setColumnDivisors({15, 5, 10, 7});
    fillGiftList();
}

void Form4::showMember(const QString& cardText, const QString& phone, const QString& idNumber,
                       const QString& address, const QString& points)
{
    m_card->setText(cardText);
    m_phone->setText(phone);
    m_idNumber->setText(idNumber);
    m_address->setText(address);
    m_points->setText(points);
}

void Form4::fillGiftList()
{
    Database& db = module().database();
    m_model->fill([&](const RowHandler& onRow) { GiftTable::selectAll(db, onRow); });
}

void Form4::runCommand(const QString& key)
{
    if (key == Commands[5])
        unload();
}

void Form4::closeSteps()
{
    module().closeReader();
    closeConnection();
}

} // namespace kelm
