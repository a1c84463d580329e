#include "members/Form1.h"

#include "common/CompactTableModel.h"
#include "common/MemberTable.h"
#include "common/Module1.h"
#include "common/ReportListView.h"

#include <QAction>
#include <QGroupBox>
#include <QLineEdit>

namespace kelm {

const QStringList Form1::Commands = {
    QStringLiteral("增加"), QStringLiteral("修改"), QStringLiteral("删除"),   QStringLiteral("保存"), QStringLiteral("发卡"),
    QStringLiteral("挂失"), QStringLiteral("初始化"), QStringLiteral("充值"), QStringLiteral("退出"),
};

Form1::Form1(ScreenRegistry& registry)
    : TopLevelScreen(registry, QStringLiteral("Form1"), QStringLiteral("会员管理"), QSize(15315, 11025))
    , m_frame(new QGroupBox(this))
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
    m_name->setText(QStringLiteral("Vip"));
    m_password->setText(QStringLiteral("462"));
    m_password->setEchoMode(QLineEdit::Password);
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
        {"日期", "姓名", "卡号", "身份证号", "联系地址", "联系电话", "余额", "积分"}, this);
    m_list->setModel(m_model);
    connect(m_list, &QAbstractItemView::clicked, this, &Form1::itemClick);
}

QAction* Form1::button(int position) const
{
    return command(Commands[position - 1]);
}

void Form1::load()
{
    module().readerHandle = -1;
    paintToolbarBackground();
    loadSettingsAndConnect();
    m_list->setColumnDivisors({20, 10, 10, 10, 10, 10, 10, 10, 10});
    fillMemberList();
}

void Form1::fillMemberList()
{
    Database& db = module().database();
    m_model->fill([&](const RowHandler& onRow) { MemberTable::selectAll(db, onRow); });
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
    if (key == Commands[8])
        unload();
}

void Form1::closeSteps()
{
    module().closeReader();
    closeConnection();
}

} // namespace kelm
