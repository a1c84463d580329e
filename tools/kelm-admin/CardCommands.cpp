#include "CardCommands.h"

#include "card/CardFolder.h"
#include "card/CardSequences.h"
#include "card/MifareCard.h"

#include <QDir>

#include <optional>
#include <span>

namespace kelm {

namespace {

const QString usage = QStringLiteral("usage: kelm-admin card new | place SERIAL | remove | list | show SERIAL\n"
                                     "  new           make a blank card and print its serial number\n"
                                     "  place SERIAL  lay the card on the reader, in place of any other\n"
                                     "  remove        take the card off the reader\n"
                                     "  list          the cards, the one on the reader marked with *\n"
                                     "  show SERIAL   every block of the card, its keys and its card text\n");

QString hex(std::span<const std::uint8_t> bytes, const QString& separator)
{
    QStringList parts;
    for (std::uint8_t byte : bytes) {
        parts << QStringLiteral("%1").arg(byte, 2, 16, QLatin1Char('0')).toUpper();
    }
    return parts.join(separator);
}

QString readerState(const CardFolder::Placement& placement)
{
    return placement.halted ? QStringLiteral("on the reader, halted") : QStringLiteral("on the reader");
}

// The text runs to the first zero byte; a card whose text block starts with zero has none.
QString cardText(const MifareCard::Block& block)
{
    if (block[0] == 0) {
        return QStringLiteral("(blank)");
    }
    // The card text is kept in the system code page, GBK.
    QString text = Card::upToFirstZero(Card::blockText(block));
    for (QChar& c : text) {
        if (!c.isPrint()) {
            c = QLatin1Char('?');
        }
    }
    return QLatin1Char('"') + text + QLatin1Char('"');
}

QString describeTrailer(const MifareCard& card, int sector)
{
    const std::array<std::uint8_t, 4> access = card.accessBytes(sector);
    QString values;
    if (const std::optional<MifareCard::AccessValues> decoded = card.accessValues(sector)) {
        values = QStringLiteral("blocks %1 %2 %3, trailer %4")
                     .arg((*decoded)[0])
                     .arg((*decoded)[1])
                     .arg((*decoded)[2])
                     .arg((*decoded)[3]);
    } else {
        values = QStringLiteral("inconsistent, the sector is unusable");
    }
    return QStringLiteral("key A %1  access %2 (%3)  key B %4")
        .arg(hex(card.keyA(sector), QString()), hex(access, QStringLiteral(" ")), values,
            hex(card.keyB(sector), QString()));
}

std::optional<std::uint32_t> serialArgument(const QStringList& args, QTextStream& err)
{
    if (args.size() != 2) {
        err << QStringLiteral("card %1 takes one serial number\n").arg(args[0]) << usage;
        return std::nullopt;
    }
    const std::optional<std::uint32_t> serial = CardFolder::parseSerial(args[1]);
    if (!serial) {
        err << QStringLiteral("\"%1\" is not a card serial number (up to 8 hex digits)\n").arg(args[1]);
    }
    return serial;
}

int newCard(CardFolder& folder, QTextStream& out, QTextStream& err)
{
    QString error;
    const std::optional<std::uint32_t> serial = folder.newCard(&error);
    if (!serial) {
        err << error << '\n';
        return 1;
    }
    out << CardFolder::serialText(*serial) << '\n';
    return 0;
}

int placeCard(CardFolder& folder, std::uint32_t serial, QTextStream& out, QTextStream& err)
{
    QString error;
    if (!folder.place(serial, &error)) {
        err << error << '\n';
        return 1;
    }
    out << QStringLiteral("Card %1 is on the reader.\n").arg(CardFolder::serialText(serial));
    return 0;
}

int removeCard(CardFolder& folder, QTextStream& out, QTextStream& err)
{
    const std::optional<CardFolder::Placement> placement = folder.onReader();
    if (!placement) {
        out << QStringLiteral("No card lies on the reader.\n");
        return 0;
    }
    QString error;
    if (!folder.remove(&error)) {
        err << error << '\n';
        return 1;
    }
    out << QStringLiteral("Card %1 is off the reader.\n").arg(CardFolder::serialText(placement->serial));
    return 0;
}

int listCards(const CardFolder& folder, QTextStream& out)
{
    const std::vector<std::uint32_t> serials = folder.cards();
    if (serials.empty()) {
        out << QStringLiteral("No cards in %1.\n").arg(QDir::toNativeSeparators(folder.path()));
        return 0;
    }
    const std::optional<CardFolder::Placement> placement = folder.onReader();
    for (std::uint32_t serial : serials) {
        if (placement && placement->serial == serial) {
            out << QStringLiteral("* %1  %2\n").arg(CardFolder::serialText(serial), readerState(*placement));
        } else {
            out << QStringLiteral("  %1\n").arg(CardFolder::serialText(serial));
        }
    }
    return 0;
}

int showCard(const CardFolder& folder, std::uint32_t serial, QTextStream& out, QTextStream& err)
{
    QString error;
    const std::optional<MifareCard> card = folder.load(serial, &error);
    if (!card) {
        err << error << '\n';
        return 1;
    }
    const std::optional<CardFolder::Placement> placement = folder.onReader();
    out << QStringLiteral("Card %1").arg(CardFolder::serialText(serial));
    if (placement && placement->serial == serial) {
        out << QStringLiteral(" (%1)").arg(readerState(*placement));
    }
    out << '\n'
        << QStringLiteral("Card text (block %1): %2\n").arg(Card::Block).arg(cardText(card->rawBlock(Card::Block)));
    for (int sector = 0; sector < MifareCard::SectorCount; ++sector) {
        out << QStringLiteral("\nSector %1\n").arg(sector);
        for (int i = 0; i < MifareCard::BlocksPerSector; ++i) {
            const int block = sector * MifareCard::BlocksPerSector + i;
            out << QStringLiteral("  block %1  %2\n")
                       .arg(block, 2)
                       .arg(hex(card->rawBlock(block), QStringLiteral(" ")));
        }
        out << QStringLiteral("  trailer   %1\n").arg(describeTrailer(*card, sector));
    }
    return 0;
}

} // namespace

int runCardCommand(const QStringList& args, const QString& cardsFolder, QTextStream& out, QTextStream& err)
{
    if (args.isEmpty()) {
        err << usage;
        return 1;
    }
    CardFolder folder(cardsFolder);
    const QString& command = args[0];
    const bool noMoreWords = args.size() == 1;
    if (command == QLatin1String("help") && noMoreWords) {
        out << usage;
        return 0;
    }
    if (command == QLatin1String("new") && noMoreWords) {
        return newCard(folder, out, err);
    }
    if (command == QLatin1String("remove") && noMoreWords) {
        return removeCard(folder, out, err);
    }
    if (command == QLatin1String("list") && noMoreWords) {
        return listCards(folder, out);
    }
    if (command == QLatin1String("place") || command == QLatin1String("show")) {
        const std::optional<std::uint32_t> serial = serialArgument(args, err);
        if (!serial) {
            return 1;
        }
        return command == QLatin1String("place") ? placeCard(folder, *serial, out, err)
                                                 : showCard(folder, *serial, out, err);
    }
    err << QStringLiteral("unknown card command: %1\n").arg(args.join(QLatin1Char(' '))) << usage;
    return 1;
}

} // namespace kelm
