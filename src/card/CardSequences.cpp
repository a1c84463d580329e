#include "card/CardSequences.h"

#include "card/ReaderLibrary.h"
#include "common/TextCodec.h"

#include <kelm/Error.h>

#include <algorithm>
#include <cctype>

namespace kelm {

namespace Card {

QByteArray cardText(const QString& cardNumber)
{
    // Fitted to 16 characters first, then to the card's 16 bytes in the system code page.
    QString text = (QStringLiteral("000") + cardNumber).left(16);
    text = text.leftJustified(16, u' ');
    QByteArray bytes = TextCodec::toGbk(text);
    bytes.truncate(TextCodec::gbkPrefix(bytes, 16));
    while (bytes.size() < 16)
        bytes.append(' ');
    return bytes;
}

QString cardNumber(const QString& cardText)
{
    return cardText.right(13);
}

QString blockText(const std::array<std::uint8_t, 16>& block)
{
    return TextCodec::fromGbk(QByteArray(reinterpret_cast<const char*>(block.data()), 16));
}

QString upToFirstZero(const QString& text)
{
    const qsizetype zero = text.indexOf(QChar(u'\0'));
    return zero < 0 ? text : text.left(zero);
}

std::uint8_t keyByte(const QString& identifier)
{
    bool ok = false;
    const uint value = identifier.size() <= 8 ? identifier.toUInt(&ok, 16) : 0;
    const bool digitsOnly = !identifier.isEmpty()
        && std::all_of(identifier.begin(), identifier.end(), [](QChar c) { return c.unicode() < 128 && isxdigit(c.unicode()); });
    if (!ok || !digitsOnly || value > 255)
        throw Error(QStringLiteral("卡片密钥标识“%1”不是 0 到 FF 的十六进制数。").arg(identifier).toStdString());
    return static_cast<std::uint8_t>(value);
}

} // namespace Card

CardSequences::CardSequences(ReaderPort& port, CardKeyIdentifier identifier)
    : m_port(port)
    , m_identifier(std::move(identifier))
{
}

void CardSequences::loadCardKey()
{
    const std::optional<QString> identifier = m_identifier();
    if (!identifier)
        throw Error("表 bz 中没有卡片密钥标识。");
    m_key[0] = Card::keyByte(*identifier);
}

void CardSequences::openReader()
{
    m_port.openIfClosed();
}

void CardSequences::selectCard()
{
    ReaderLibrary& reader = m_port.library();
    const std::int32_t handle = m_port.handle();
    m_status = reader.rf_request(handle, 1, &m_tagType);
    m_status = reader.rf_anticoll(handle, 0, &m_serial);
    m_status = reader.rf_select(static_cast<std::int16_t>(handle), m_serial, &m_size);
}

void CardSequences::authenticateWithCardKey()
{
    ReaderLibrary& reader = m_port.library();
    m_status = reader.rf_load_key(m_port.handle(), 0, Card::Sector, m_key.data());
    m_status = reader.rf_authentication(m_port.handle(), 0, Card::Sector);
}

void CardSequences::authenticateWithFactoryKey()
{
    ReaderLibrary& reader = m_port.library();
    m_status = reader.rf_load_key_hex(m_port.handle(), 0, Card::Sector, Card::FactoryKey);
    m_status = reader.rf_authentication(m_port.handle(), 0, Card::Sector);
}

std::int16_t CardSequences::readCardText(std::array<std::uint8_t, 16>& buffer)
{
    m_status = m_port.library().rf_read(m_port.handle(), Card::Block, buffer.data());
    return m_status;
}

std::int16_t CardSequences::writeCardText(const QByteArray& cardText)
{
    std::array<std::uint8_t, 16> block{};
    std::copy_n(cardText.constData(), std::min<qsizetype>(16, cardText.size()), block.begin());
    m_status = m_port.library().rf_write(m_port.handle(), Card::Block, block.data());
    return m_status;
}

std::int16_t CardSequences::initialiseSector()
{
    m_status = m_port.library().rf_changeb3(m_port.handle(), Card::Sector, m_key.data(), 0, 0, 0, 1, 0,
                                             m_key.data());
    return m_status;
}

void CardSequences::beep()
{
    m_port.library().rf_beep(m_port.handle(), 20);
}

void CardSequences::halt()
{
    m_port.library().rf_halt(m_port.handle());
}

std::int16_t CardSequences::readCard(std::array<std::uint8_t, 16>& buffer)
{
    loadCardKey();
    openReader();
    selectCard();
    authenticateWithCardKey();
    return readCardText(buffer);
}

QString CardSequences::failureMessage(const QString& usual, const QString& failed)
{
    const QString reason = m_port.library().failureReason(m_status);
    if (reason.isEmpty())
        return usual;
    return reason + (failed.isEmpty() ? usual : failed);
}

IssueOutcome CardSequences::issue(const QString& cardNumber, std::array<std::uint8_t, 16>& readBuffer)
{
    const QByteArray text = Card::cardText(cardNumber);
    readCard(readBuffer);
    // A card whose block starts with a zero byte is blank; anything else was issued before. With
    // no card the buffer still holds what the last read left in it.
    if (!Card::upToFirstZero(Card::blockText(readBuffer)).isEmpty())
        return IssueOutcome::AlreadyIssued;
    if (writeCardText(text) != 0)
        return IssueOutcome::IssueFailed;
    beep();
    return IssueOutcome::Issued;
}

InitialiseOutcome CardSequences::initialise()
{
    loadCardKey();
    openReader();
    selectCard();
    authenticateWithFactoryKey();
    if (initialiseSector() != 0)
        return InitialiseOutcome::InitialiseFailed;
    beep();
    return InitialiseOutcome::Initialised;
}

} // namespace kelm
