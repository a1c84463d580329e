#pragma once

#include "card/CardFolder.h"
#include "card/ReaderLibrary.h"

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

#include <cstdint>
#include <memory>
#include <optional>

// A card reader and the folder its cards live in, for tests that must hold on either reader: the
// simulated reader over a temporary folder, or the PC/SC reader through pcscd, vsmartcard's vpcd and
// kelm-testcard, whose folder scripts/pcsc-tests.sh names. The test's registration chooses the
// reader (KELM_TEST_READER=pcsc); a PC/SC run outside that script fails, it never passes by skipping.
//
// On PC/SC the folder's card lies on three readers at once (see scripts/pcsc-tests.sh): the test card's
// reader, an ACR1281U, and one that shows it as a MIFARE Classic 4K card.
class ReaderBench
{
public:
    enum class Kind { Simulated, Pcsc };
    static inline const QString Acr1281uReader = QStringLiteral("ACS ACR1281U");
    static inline const QString Classic4kReader = QStringLiteral("Virtual 4K");

    ReaderBench();
    ~ReaderBench();

    static Kind kind();
    static bool onPcsc() { return kind() == Kind::Pcsc; }
    // Why the chosen reader cannot be tested here; empty when it can.
    static QString unavailable();
    // The beginning of the PC/SC name of the reader kelm-testcard sits on.
    static QString pcscReaderName();

    kelm::CardFolder& folder() { return *m_folder; }
    // config.ini lines that choose this reader; on PC/SC another reader than the test card's, and a key
    // slot, when given.
    QString configLines(const QString& readerName = {}, const QString& keySlot = {}) const;
    // The reader library config.ini with configLines() makes.
    std::unique_ptr<kelm::ReaderLibrary> readerFromConfig(
        const QString& readerName = {}, const QString& keySlot = {}) const;

    // A new blank card, laid on the reader once the reader has seen the last card go.
    std::uint32_t layNewCard();
    // Lays a card on the reader and waits until the reader sees it; false when it never does.
    bool lay(std::uint32_t serial);
    // Takes the card off and waits until the reader sees the slot empty.
    bool takeOff();

    // Another program holding the test card's reader with its card, exclusively or in a transaction,
    // until the process is deleted; null when it could not.
    static std::unique_ptr<QProcess> holdReader(bool exclusive);
    // Restarts pcscd as systemctl restart does, the test card's reader coming back as Virtual PCD 01 when
    // replugged, and waits until the card is seen again; false when it is not.
    static bool restartService(bool replugged);

private:
    static bool waitForReader(bool cardPresent);

    std::optional<QTemporaryDir> m_ownFolder;
    std::optional<kelm::CardFolder> m_folder;
};
