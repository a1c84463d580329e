#pragma once

// The member screen with one member in its list, over a reader and the folder its cards live in,
// for the card commands 初始化 and 发卡.
#include "TestScreens.h"

#include "card/CardFolder.h"
#include "members/Form1.h"

#include <kelm/Class1.h>

#include <QPointer>

struct CardDesk
{
    static inline const QString Member = QStringLiteral("2026120512345");

    kelm::CardFolder& folder;
    std::uint32_t serial;
    TestScreens t;
    // The screen deletes itself when the cashier closes it.
    QPointer<kelm::Form1> screen;

    CardDesk(kelm::ReaderLibrary* reader, kelm::CardFolder& cards, std::uint32_t cardSerial)
        : folder(cards)
        , serial(cardSerial)
        , t(reader)
    {
        t.database.addMember(Member, QStringLiteral("张三"));
        kelm::Class1().kelm(true);
        screen = static_cast<kelm::Form1*>(TestScreens::visibleWindow(QStringLiteral("Form1")));
    }
    ~CardDesk()
    {
        if (screen && screen->isVisible())
            screen->close();
        TestScreens::settle();
    }
    CardDesk(const CardDesk&) = delete;
    CardDesk& operator=(const CardDesk&) = delete;

    void press(const char* key) { TestScreens::button(screen, QString::fromUtf8(key))->trigger(); }
    void selectMember() { TestScreens::clickRow(screen, 0); }
    QString lastMessage() const { return t.messages.texts().value(t.messages.texts().size() - 1); }
    kelm::MifareCard card() { return *folder.load(serial); }
    QByteArray block20()
    {
        const kelm::MifareCard::Block block = card().rawBlock(20);
        return QByteArray(reinterpret_cast<const char*>(block.data()), 16);
    }
};
