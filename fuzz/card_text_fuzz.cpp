// The card text from any bytes: the first 16 input bytes as a card block read from a card, the
// whole input as a card number to issue and as the key identifier 标识 of table bz.
#include "card/CardSequences.h"
#include "common/TextCodec.h"

#include <kelm/Error.h>

#include <QString>
#include <QStringView>

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

namespace Card = kelm::Card;

namespace {

[[noreturn]] void fail(const char* rule, const QString& detail)
{
    std::fprintf(stderr, "card_text_fuzz: broken: %s\n  %s\n", rule, qUtf8Printable(detail));
    std::abort();
}

#define EXPECT(condition, detail)                                                                                      \
    do {                                                                                                               \
        if (!(condition))                                                                                              \
            fail(#condition, (detail));                                                                                \
    } while (0)

const QChar Zero(u'\0');
const QChar Replacement(0xFFFD);

bool isPrintableAscii(const QString& text)
{
    return std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() >= 0x20 && c.unicode() < 0x7F; });
}

// A block read from a card: the text box shows it up to the first zero, the card number is that
// text's last 13 characters, and a block starting with a zero byte is a blank card.
void checkBlock(const std::array<std::uint8_t, 16>& block)
{
    const QString text = Card::blockText(block);
    EXPECT(QStringView(text).isValidUtf16(), text);
    EXPECT(text.size() <= 16, text);

    const QString shown = Card::upToFirstZero(text);
    EXPECT(!shown.contains(Zero) && text.startsWith(shown), shown);
    EXPECT(shown.size() == text.size() || text[shown.size()] == Zero, text);
    EXPECT(shown.isEmpty() == (block[0] == 0), shown);
    // Cutting the text at the zero and cutting the bytes there show the same.
    const auto end = std::find(block.begin(), block.end(), std::uint8_t(0));
    const QByteArray bytes(reinterpret_cast<const char*>(block.data()), end - block.begin());
    EXPECT(shown == kelm::TextCodec::fromGbk(bytes), shown);

    const QString number = Card::cardNumber(shown);
    EXPECT(number.size() == std::min<qsizetype>(13, shown.size()) && shown.endsWith(number), number);

    // A card read and issued again with its own number carries that number.
    if (shown.size() == 16 && isPrintableAscii(shown)) {
        const QByteArray again = Card::cardText(number);
        EXPECT(again == "000" + bytes.right(13), QString::fromLatin1(again));
    }
}

// The card text for a card number: "000" and the number fitted to 16 characters (padded with
// blanks), then to the card's 16 bytes in GBK without cutting a character; read back from the
// card it gives that text, and the card number its last 13 characters.
void checkCardNumber(const QString& cardNumber)
{
    const QByteArray written = Card::cardText(cardNumber);
    EXPECT(written.size() == 16 && written.startsWith("000"), cardNumber);

    std::array<std::uint8_t, 16> block {};
    std::copy_n(written.constData(), 16, block.begin());
    const QString read = Card::blockText(block);
    EXPECT(QStringView(read).isValidUtf16(), read);

    const QString fitted = (QStringLiteral("000") + cardNumber).left(16).leftJustified(16, u' ');
    if (!QStringView(fitted).isValidUtf16() || fitted.contains(Replacement))
        return;
    // The characters that fit in 16 bytes, then blanks to fill them.
    qsizetype kept = 0;
    while (kept < fitted.size()) {
        const qsizetype next = kept + (fitted[kept].isHighSurrogate() ? 2 : 1);
        if (kelm::TextCodec::toGbk(fitted.left(next)).size() > 16)
            break;
        kept = next;
    }
    const QString prefix = fitted.left(kept);
    const QString expected = prefix + QString(16 - kelm::TextCodec::toGbk(prefix).size(), u' ');
    EXPECT(read == expected, read + QStringLiteral(" | ") + expected);

    if (!cardNumber.contains(Zero) && isPrintableAscii(cardNumber)) {
        const QString readBack = Card::cardNumber(Card::upToFirstZero(read));
        EXPECT(readBack == fitted.right(13), readBack);
        if (cardNumber.size() == 13)
            EXPECT(readBack == cardNumber, readBack);
    }
}

// 标识: one or two hexadecimal digits (leading zeros allowed) give the key byte; anything else is
// refused with a message, never a crash and never a wrong byte.
void checkIdentifier(const QString& identifier)
{
    const bool hexDigits = !identifier.isEmpty() && std::all_of(identifier.begin(), identifier.end(), [](QChar c) {
        return c.unicode() < 0x80 && std::isxdigit(static_cast<unsigned char>(c.unicode()));
    });
    qsizetype significant = 0;
    while (significant < identifier.size() && identifier[significant] == u'0')
        ++significant;
    const qsizetype digits = identifier.size() - significant;
    try {
        const std::uint8_t key = Card::keyByte(identifier);
        EXPECT(hexDigits && digits <= 2, identifier);
        EXPECT(digits == 0 ? key == 0 : key == identifier.mid(significant).toUInt(nullptr, 16), identifier);
    } catch (const kelm::Error& error) {
        EXPECT(std::string_view(error.what()).size() > 0, identifier);
        EXPECT(!(hexDigits && identifier.size() <= 2), identifier);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::array<std::uint8_t, 16> block {};
    std::copy_n(data, std::min<std::size_t>(size, 16), block.begin());
    checkBlock(block);

    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    for (const QString& text :
        { QString::fromLatin1(bytes), QString::fromUtf8(bytes), kelm::TextCodec::fromGbk(bytes) }) {
        checkCardNumber(text);
        checkIdentifier(text);
    }
    return 0;
}
