#pragma once

#include "card/MifareCard.h"

#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

namespace kelm {

// The folder that keeps the simulated cards, so that a card keeps what was written to it between runs
// and between processes: one file per card, SERIAL.card with the serial in 8 upper-case hex digits
// (MifareCard's text form), and reader.state, which tells which card lies on the reader.
//
// reader.state is a few "word value" lines:
//     card 1A2B3C4D      (or "card none")
//     halted no          (yes once the card was halted, until it is woken or placed anew)
//     placement 7        (counts every placing, so a reader notices a card taken off and put back)
// Every file is replaced whole and atomically, never edited in place; a link in the folder is replaced,
// not written through. A card file that is not a regular file (a pipe, a device) or is far too big is
// not read: that card cannot be loaded. Such a reader.state means no card on the reader.
class CardFolder
{
public:
    struct Placement
    {
        std::uint32_t serial = 0;
        bool halted = false;
        std::uint64_t number = 0;
    };

    explicit CardFolder(QString path);

    const QString& path() const { return m_path; }
    // Creates the folder when it does not exist yet.
    bool create(QString* error = nullptr) const;

    // A blank card with a random serial that no card of the folder has; empty when it could not be saved.
    std::optional<std::uint32_t> newCard(QString* error = nullptr) const;
    // The serials of all cards, in ascending order.
    std::vector<std::uint32_t> cards() const;
    bool contains(std::uint32_t serial) const;
    std::optional<MifareCard> load(std::uint32_t serial, QString* error = nullptr) const;
    bool save(const MifareCard& card, QString* error = nullptr) const;
    QString cardFile(std::uint32_t serial) const;

    // Lays the card on the reader, in place of any card lying there. A card placed anew is awake.
    bool place(std::uint32_t serial, QString* error = nullptr);
    // Takes the card off the reader; nothing to do when none lies there.
    bool remove(QString* error = nullptr);
    std::optional<Placement> onReader() const;
    // Marks the card on the reader halted or awake; fails when no card lies there.
    bool setHalted(bool halted, QString* error = nullptr);

    // 8 upper-case hex digits.
    static QString serialText(std::uint32_t serial);
    // 1 to 8 hex digits, either case.
    static std::optional<std::uint32_t> parseSerial(const QString& text);

private:
    struct ReaderRecord
    {
        std::optional<std::uint32_t> serial;
        bool halted = false;
        std::uint64_t placements = 0;
    };

    ReaderRecord readRecord() const;
    bool writeRecord(const ReaderRecord& record, QString* error) const;
    bool writeFile(const QString& fileName, const QByteArray& contents, QString* error) const;

    QString m_path;
};

} // namespace kelm
