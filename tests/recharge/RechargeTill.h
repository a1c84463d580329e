#pragma once

// A till with the simulated reader over a card folder of its own, a real SQLite database, and
// the cashier's gestures on the member screen and the two dialogs.
#include "TestScreens.h"

#include "card/CardFolder.h"
#include "card/CardSequences.h"
#include "card/SimulatedReader.h"
#include "members/Form1.h"
#include "recharge/Form2.h"
#include "recharge/Form3.h"

#include <kelm/Class1.h>

#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>
#include <QToolButton>

struct RechargeTill
{
    QTemporaryDir cardDir;
    kelm::CardFolder folder{cardDir.path()};
    kelm::SimulatedReader reader{cardDir.path()};
    TestScreens t{&reader};

    ~RechargeTill()
    {
        // Close boxes, as the cashier would, so every close step runs before the registry goes.
        for (const char* name : {"Form2", "Form3", "Form4", "Form1"}) {
            if (QWidget* window = TestScreens::visibleWindow(QString::fromLatin1(name)))
                window->close();
        }
        TestScreens::settle();
    }

    kelm::Module1& module() { return t.module(); }

    kelm::Form1* openMemberScreen()
    {
        kelm::Class1().kelm(true);
        return static_cast<kelm::Form1*>(TestScreens::visibleWindow(QStringLiteral("Form1")));
    }
    QWidget* memberScreen() const { return TestScreens::visibleWindow(QStringLiteral("Form1")); }
    QWidget* rechargeDialog() const { return TestScreens::visibleWindow(QStringLiteral("Form2")); }
    QWidget* passwordDialog() const { return TestScreens::visibleWindow(QStringLiteral("Form3")); }

    // A factory card made a card of this installation carrying the card number, then laid on the
    // reader. Needs a loaded screen for the database connection.
    bool layNewCard(const QString& cardNumber)
    {
        const std::optional<std::uint32_t> serial = folder.newCard();
        if (!serial || !folder.place(*serial))
            return false;
        kelm::CardSequences cards(module());
        const bool initialised = cards.initialise() == kelm::InitialiseOutcome::Initialised;
        cards.halt();
        std::array<std::uint8_t, 16> buffer{};
        const bool issued = cards.issue(cardNumber, buffer) == kelm::IssueOutcome::Issued;
        cards.halt();
        return initialised && issued;
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

    QString balanceOf(const QString& card)
    {
        return t.database.scalar(QStringLiteral("SELECT 余额 FROM kelm WHERE 卡号='%1'").arg(card));
    }
};
