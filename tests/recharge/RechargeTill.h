#pragma once

// A till with the member screen open over the simulated reader, and the cashier's gestures on the
// member screen and the recharge and password dialogs.
#include "CardTill.h"

#include "members/Form1.h"
#include "recharge/Form2.h"
#include "recharge/Form3.h"

#include <kelm/Class1.h>

#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QToolBar>

struct RechargeTill : CardTill
{
    kelm::Form1* openMemberScreen()
    {
        kelm::Class1().kelm(true);
        return static_cast<kelm::Form1*>(TestScreens::visibleWindow(QStringLiteral("Form1")));
    }
    QWidget* memberScreen() const { return TestScreens::visibleWindow(QStringLiteral("Form1")); }
    QWidget* rechargeDialog() const { return TestScreens::visibleWindow(QStringLiteral("Form2")); }
    QWidget* passwordDialog() const { return TestScreens::visibleWindow(QStringLiteral("Form3")); }

    // A member with this balance and password, the member screen open, the member's card on the
    // reader and 充值 pressed: the dialog that came up (the recharge or the password dialog).
    QWidget* recharge(const QString& card, const QString& balance = QStringLiteral("100"),
                      const QString& password = QStringLiteral("462"))
    {
        t.database.addMember(card, QStringLiteral("张三"), balance, QStringLiteral("0"), password);
        openMemberScreen();
        if (!layNewCard(card))
            return nullptr;
        pressRecharge();
        return password == QStringLiteral("462") ? rechargeDialog() : passwordDialog();
    }

    // Presses the member screen's 充值 as a program would, whatever the screen's enabled state.
    void pressRecharge() { TestScreens::button(memberScreen(), QStringLiteral("充值"))->trigger(); }

    static QString text(QWidget* dialog, const char* box)
    {
        return TestScreens::box(dialog, QString::fromLatin1(box))->text();
    }
    static QPushButton* command(QWidget* dialog, const char* name)
    {
        return dialog ? dialog->findChild<QPushButton*>(QString::fromLatin1(name)) : nullptr;
    }
    static void click(QWidget* dialog, const char* name) { QTest::mouseClick(command(dialog, name), Qt::LeftButton); }
    // Clears the box and types into it, then presses Enter there.
    static void typeAndEnter(QWidget* dialog, const char* box, const QString& text)
    {
        QLineEdit* edit = TestScreens::box(dialog, QString::fromLatin1(box));
        edit->clear();
        TestScreens::type(edit, text);
        QTest::keyClick(edit, Qt::Key_Return);
    }

    QString balanceOf(const QString& card) { return member("余额", card); }
};
