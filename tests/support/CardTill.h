#pragma once

// A till with the simulated reader over a card folder of its own and a real database: the screens
// run over them, and cards of this installation are made and laid on the reader as a cashier would.
#include "TestScreens.h"

#include "card/CardFolder.h"
#include "card/CardSequences.h"
#include "card/SimulatedReader.h"

#include <QTemporaryDir>

struct CardTill
{
    QTemporaryDir cardDir;
    kelm::CardFolder folder{cardDir.path()};
    kelm::SimulatedReader reader{cardDir.path()};
    TestScreens t{&reader};

    CardTill() = default;
    CardTill(const CardTill&) = delete;
    CardTill& operator=(const CardTill&) = delete;
    ~CardTill()
    {
        // Close the windows, as the cashier would, so every close step runs before the registry goes.
        for (const char* name : {"Form2", "Form3", "Form5", "Form4", "Form1"}) {
            if (QWidget* window = TestScreens::visibleWindow(QString::fromLatin1(name)))
                window->close();
        }
        TestScreens::settle();
    }

    kelm::Module1& module() { return t.module(); }

    // A factory card made a card of this installation carrying the card number, then laid on the
    // reader. Needs a loaded screen for the database connection (the card key is in bz).
    bool layNewCard(const QString& cardNumber)
    {
        const std::optional<std::uint32_t> serial = folder.newCard();
        if (!serial || !folder.place(*serial))
            return false;
        kelm::CardSequences cards(module().readerPort(), module().cardKeyIdentifier());
        const bool initialised = cards.initialise() == kelm::InitialiseOutcome::Initialised;
        cards.halt();
        std::array<std::uint8_t, 16> buffer{};
        const bool issued = cards.issue(cardNumber, buffer) == kelm::IssueOutcome::Issued;
        cards.halt();
        m_beepsAtLay = reader.beepCount();
        return initialised && issued;
    }
    // How often the reader beeped since the last card was laid.
    int beepsSinceLay() const { return reader.beepCount() - m_beepsAtLay; }

    // One column of the member with this card number, as the database holds it.
    QString member(const char* column, const QString& card)
    {
        return t.database.scalar(QStringLiteral("SELECT %1 FROM kelm WHERE 卡号='%2'").arg(QString::fromUtf8(column), card));
    }

private:
    int m_beepsAtLay = 0;
};
