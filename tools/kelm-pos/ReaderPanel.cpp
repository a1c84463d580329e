#include "ReaderPanel.h"

#include "card/CardFolder.h"
#include "card/CardSequences.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

using kelm::CardFolder;

ReaderPanel::ReaderPanel(const QString& cardsFolder, QWidget* parent)
    : QGroupBox(QStringLiteral("模拟读卡器"), parent)
    , m_folder(cardsFolder)
    , m_cards(new QListWidget(this))
    , m_status(new QLabel(this))
{
    setObjectName(QStringLiteral("readerPanel"));
    m_cards->setObjectName(QStringLiteral("cards"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_status);
    layout->addWidget(m_cards);
    auto* buttons = new QHBoxLayout;
    const std::pair<QString, void (ReaderPanel::*)()> actions[] = {
        {QStringLiteral("新卡"), &ReaderPanel::newCard},
        {QStringLiteral("放上读卡器"), &ReaderPanel::placeSelected},
        {QStringLiteral("取下"), &ReaderPanel::removeCard},
    };
    for (const auto& [caption, slot] : actions) {
        auto* button = new QPushButton(caption, this);
        button->setObjectName(caption);
        connect(button, &QPushButton::clicked, this, slot);
        buttons->addWidget(button);
    }
    layout->addLayout(buttons);
    connect(m_cards, &QListWidget::itemDoubleClicked, this, &ReaderPanel::placeSelected);

    // The screens change the cards (issue, halt) behind the panel's back.
    auto* timer = new QTimer(this);
    connect(timer, &QTimer::timeout, this, &ReaderPanel::refresh);
    timer->start(1000);
    refresh();
}

void ReaderPanel::refresh()
{
    CardFolder folder(m_folder);
    const auto onReader = folder.onReader();
    const QString selected = m_cards->currentItem() ? m_cards->currentItem()->data(Qt::UserRole).toString() : QString();
    m_cards->clear();
    for (std::uint32_t serial : folder.cards()) {
        QString text = CardFolder::serialText(serial);
        if (const auto card = folder.load(serial)) {
            const auto& block = card->rawBlock(kelm::Card::Block);
            std::array<std::uint8_t, 16> bytes{};
            std::copy(block.begin(), block.end(), bytes.begin());
            const QString cardText = kelm::Card::upToFirstZero(kelm::Card::blockText(bytes));
            text += cardText.isEmpty() ? QStringLiteral("  （空白卡）") : QStringLiteral("  卡号 ") + kelm::Card::cardNumber(cardText);
        }
        if (onReader && onReader->serial == serial)
            text += QStringLiteral("  ← 在读卡器上");
        auto* item = new QListWidgetItem(text, m_cards);
        item->setData(Qt::UserRole, CardFolder::serialText(serial));
        if (item->data(Qt::UserRole).toString() == selected)
            m_cards->setCurrentItem(item);
    }
    m_status->setText(onReader ? QStringLiteral("读卡器上：%1").arg(CardFolder::serialText(onReader->serial))
                               : QStringLiteral("读卡器上没有卡"));
}

void ReaderPanel::newCard()
{
    CardFolder folder(m_folder);
    QString error;
    if (!folder.newCard(&error))
        m_status->setText(QStringLiteral("无法新建卡片：") + error);
    refresh();
}

void ReaderPanel::placeSelected()
{
    if (!m_cards->currentItem())
        return;
    CardFolder folder(m_folder);
    if (const auto serial = CardFolder::parseSerial(m_cards->currentItem()->data(Qt::UserRole).toString()))
        folder.place(*serial);
    refresh();
}

void ReaderPanel::removeCard()
{
    CardFolder(m_folder).remove();
    refresh();
}
