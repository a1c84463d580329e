#pragma once

#include "card/ReaderPort.h"

#include <QByteArray>
#include <QString>

#include <array>
#include <cstdint>
#include <functional>
#include <optional>

namespace kelm {

// The member card: sector 5 holds the card, block 20 the card text "000" + card number in 16
// bytes, the sector trailer the installation's card key. One card key for every card, built from
// the byte in table bz followed by five zero bytes.
namespace Card {

inline constexpr std::uint8_t Sector = 5;
inline constexpr std::uint8_t Block = 20;
inline constexpr char FactoryKey[] = "3C9A51E07B2D";

// The 16 bytes written to a card: "000" and the card number, padded with blanks or cut to 16.
QByteArray cardText(const QString& cardNumber);
// The card number a card text carries: its last 13 characters.
QString cardNumber(const QString& cardText);
// The card text of a block as 16 characters, zero characters included.
QString blockText(const std::array<std::uint8_t, 16>& block);
// The text up to its first zero character, as a text box shows it.
QString upToFirstZero(const QString& text);

// The key byte from 标识: one or two (or more, with leading zeros) hexadecimal digits of value
// 0 to 255. Throws kelm::Error for anything else.
std::uint8_t keyByte(const QString& identifier);

} // namespace Card

enum class IssueOutcome { Issued, IssueFailed, AlreadyIssued };
enum class InitialiseOutcome { Initialised, InitialiseFailed };

// The fixed series of reader calls a screen runs on the card. Each screen or dialog that touches
// the card owns one: its card key and the working values of its last sequence.
class CardSequences
{
public:
    // The 标识 of the card key table's first row; none when the table is empty.
    using CardKeyIdentifier = std::function<std::optional<QString>()>;

    CardSequences(ReaderPort& port, CardKeyIdentifier identifier);

    // Card-key load: the first row's 标识 of bz into key byte 0. Throws kelm::Error when bz is
    // empty or 标识 is no key byte.
    void loadCardKey();
    // The reader port, opened when it is closed.
    void openReader();
    void selectCard();
    void authenticateWithCardKey();
    void authenticateWithFactoryKey();
    // Reads block 20 into buffer (left as it was when the read fails); returns the status.
    std::int16_t readCardText(std::array<std::uint8_t, 16>& buffer);
    std::int16_t writeCardText(const QByteArray& cardText);
    std::int16_t initialiseSector();
    void beep();
    void halt();

    // Card-key load, reader, selection, authentication with the card key and the read into
    // buffer: what every command that identifies a member by the card runs. Returns the read's
    // status.
    std::int16_t readCard(std::array<std::uint8_t, 16>& buffer);

    // The issue sequence: the card must be blank (its block starts with a zero byte) to be written.
    // readBuffer is the screen's, kept between commands. The caller shows the outcome, then halts.
    IssueOutcome issue(const QString& cardNumber, std::array<std::uint8_t, 16>& readBuffer);
    // The initialise sequence: the factory key opens sector 5, whose trailer then gets the card
    // key as key A and key B. The caller shows the outcome, then halts.
    InitialiseOutcome initialise();

    // What the cashier is told when the last card command failed: usual, or, when the reader knows a
    // cause to act on (another program holds the reader, a card of another kind), that cause followed
    // by failed (usual when empty).
    QString failureMessage(const QString& usual, const QString& failed = {});

    const std::array<std::uint8_t, 7>& key() const { return m_key; }
    std::int16_t status() const { return m_status; }
    std::uint32_t serial() const { return m_serial; }

private:
    ReaderPort& m_port;
    CardKeyIdentifier m_identifier;
    std::array<std::uint8_t, 7> m_key{};
    std::int16_t m_status = 0;
    std::uint16_t m_tagType = 0;
    std::uint32_t m_serial = 0;
    std::uint8_t m_size = 0;
};

} // namespace kelm
