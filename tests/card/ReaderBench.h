#pragma once

#include "card/CardFolder.h"
#include "card/ReaderLibrary.h"

#include <QString>
#include <QTemporaryDir>

#include <cstdint>
#include <memory>
#include <optional>

// A card reader and the folder its cards live in, for tests that must hold on either reader: the
// simulated reader over a temporary folder, or the PC/SC reader through pcscd, vsmartcard's vpcd and
// kelm-testcard, whose folder scripts/pcsc-tests.sh names. The test's registration chooses the
// reader (KELM_TEST_READER=pcsc); a PC/SC run outside that script fails, it never passes by skipping.
class ReaderBench
{
public:
    enum class Kind { Simulated, Pcsc };

    ReaderBench();
    ~ReaderBench();

    static Kind kind();
    static bool onPcsc() { return kind() == Kind::Pcsc; }
    // Why the chosen reader cannot be tested here; empty when it can.
    static QString unavailable();
    // The beginning of the PC/SC name of the reader kelm-testcard sits on.
    static QString pcscReaderName();

    kelm::CardFolder& folder() { return *m_folder; }
    // config.ini lines that choose this reader.
    QString configLines() const;
    // The reader library config.ini with configLines() makes.
    std::unique_ptr<kelm::ReaderLibrary> readerFromConfig() const;

    // A new blank card, laid on the reader once the reader has seen the last card go.
    std::uint32_t layNewCard();
    // Lays a card on the reader and waits until the reader sees it; false when it never does.
    bool lay(std::uint32_t serial);
    // Takes the card off and waits until the reader sees the slot empty.
    bool takeOff();

private:
    bool waitForReader(bool cardPresent) const;

    std::optional<QTemporaryDir> m_ownFolder;
    std::optional<kelm::CardFolder> m_folder;
};
