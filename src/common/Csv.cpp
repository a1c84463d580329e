#include "common/Csv.h"

#include <QFileDevice>
#include <QIODevice>

#include <vector>

namespace kelm::Csv {

namespace {

constexpr char ByteOrderMark[] = "\xEF\xBB\xBF";
// What the writer hands the device at a time, and what the reader asks it for.
constexpr qsizetype ChunkBytes = 64 * 1024;

bool isFormulaStart(char c)
{
    return c == '=' || c == '+' || c == '-' || c == '@';
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// A plain number as a spreadsheet reads it: sign, digits, point, exponent, nothing else.
bool isNumber(std::string_view text)
{
    std::size_t i = 0;
    const auto digits = [&] {
        const std::size_t from = i;
        while (i < text.size() && isDigit(text[i]))
            ++i;
        return i - from;
    };
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        ++i;
    std::size_t mantissa = digits();
    if (i < text.size() && text[i] == '.') {
        ++i;
        mantissa += digits();
    }
    if (mantissa == 0)
        return false;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        if (i < text.size() && (text[i] == '+' || text[i] == '-'))
            ++i;
        if (digits() == 0)
            return false;
    }
    return i == text.size();
}

// The number of apostrophes a text starts with when a formula character follows them, else -1.
qsizetype apostrophesBeforeFormula(std::string_view text)
{
    std::size_t i = 0;
    while (i < text.size() && text[i] == '\'')
        ++i;
    if (i == text.size() || !isFormulaStart(text[i]))
        return -1;
    return static_cast<qsizetype>(i);
}

// Where the first byte that does not belong to well-formed UTF-8 (or is a NUL) lies; npos when
// there is none. Overlong forms, surrogates and code points past U+10FFFF are not UTF-8.
std::size_t firstBadByte(std::string_view bytes)
{
    const auto* s = reinterpret_cast<const unsigned char*>(bytes.data());
    const std::size_t size = bytes.size();
    std::size_t i = 0;
    while (i < size) {
        const unsigned char c = s[i];
        if (c >= 0x01 && c < 0x80) {
            ++i;
            continue;
        }
        std::size_t length = 0;
        unsigned char low = 0x80;
        unsigned char high = 0xBF;
        if (c >= 0xC2 && c <= 0xDF) {
            length = 2;
        } else if (c >= 0xE0 && c <= 0xEF) {
            length = 3;
            if (c == 0xE0)
                low = 0xA0;
            else if (c == 0xED)
                high = 0x9F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            length = 4;
            if (c == 0xF0)
                low = 0x90;
            else if (c == 0xF4)
                high = 0x8F;
        } else {
            return i; // NUL, a continuation byte on its own, or a byte UTF-8 never uses
        }
        if (i + length > size || s[i + 1] < low || s[i + 1] > high)
            return i;
        for (std::size_t k = 2; k < length; ++k) {
            if (s[i + k] < 0x80 || s[i + k] > 0xBF)
                return i;
        }
        i += length;
    }
    return std::string_view::npos;
}

} // namespace

Writer::Writer(QIODevice& device)
    : m_device(device)
{
    m_buffer.reserve(ChunkBytes + 1024);
    m_buffer.append(ByteOrderMark);
}

Writer::~Writer()
{
    flush();
}

void Writer::appendField(std::string_view field)
{
    bool special = false;
    for (const char c : field) {
        if (c == ',' || c == '"' || c == '\r' || c == '\n') {
            special = true;
            break;
        }
    }
    const bool guard
        = apostrophesBeforeFormula(field) > 0 || (!field.empty() && isFormulaStart(field.front()) && !isNumber(field));
    if (!special && !guard) {
        m_buffer.append(field);
        return;
    }
    m_buffer += '"';
    if (guard)
        m_buffer += '\'';
    for (std::size_t quote; (quote = field.find('"')) != std::string_view::npos; field.remove_prefix(quote + 1)) {
        m_buffer.append(field.substr(0, quote + 1));
        m_buffer += '"';
    }
    m_buffer.append(field);
    m_buffer += '"';
}

void Writer::writeUtf8Row(std::span<const std::string_view> fields)
{
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (i > 0)
            m_buffer += ',';
        appendField(fields[i]);
    }
    m_buffer.append("\r\n", 2);
    if (std::ssize(m_buffer) >= ChunkBytes)
        flush();
}

void Writer::writeRow(const QStringList& fields)
{
    std::vector<QByteArray> utf8;
    utf8.reserve(static_cast<std::size_t>(fields.size()));
    std::vector<std::string_view> views;
    views.reserve(utf8.capacity());
    for (const QString& field : fields) {
        utf8.push_back(field.toUtf8());
        views.emplace_back(utf8.back().constData(), static_cast<std::size_t>(utf8.back().size()));
    }
    writeUtf8Row(views);
}

bool Writer::flush()
{
    if (m_ok && !m_buffer.empty())
        m_ok = m_device.write(m_buffer.data(), std::ssize(m_buffer)) == std::ssize(m_buffer);
    m_buffer.clear();
    // A file keeps what it was given in a buffer of its own: a full disk shows only when that is written.
    if (auto* file = qobject_cast<QFileDevice*>(&m_device); m_ok && file)
        m_ok = file->flush();
    return m_ok;
}

FormatError::FormatError(qint64 line, const QString& reason)
    : Error(reason.toStdString())
    , m_line(line)
{
}

Reader::Reader(QIODevice& device)
    : m_device(device)
{
}

int Reader::peek()
{
    if (m_position == m_chunk.size()) {
        m_chunk = m_device.read(ChunkBytes);
        m_position = 0;
        if (m_chunk.isEmpty())
            return -1;
    }
    return static_cast<unsigned char>(m_chunk[m_position]);
}

QString Reader::decodeField(qint64 fieldLine) const
{
    const std::string_view bytes(m_field.constData(), static_cast<std::size_t>(m_field.size()));
    if (const std::size_t bad = firstBadByte(bytes); bad != std::string_view::npos) {
        // The line of the bad byte itself, inside a field that runs over several lines.
        qint64 line = fieldLine;
        for (std::size_t i = 0; i < bad; ++i) {
            if (bytes[i] == '\n' || (bytes[i] == '\r' && (i + 1 == bad || bytes[i + 1] != '\n')))
                ++line;
        }
        throw FormatError(line, bytes[bad] == '\0' ? QStringLiteral("a NUL byte, which no text file holds")
                                                   : QStringLiteral("bytes that are not UTF-8 text"));
    }
    const qsizetype guard = apostrophesBeforeFormula(bytes);
    const qsizetype from = guard > 0 ? 1 : 0;
    return QString::fromUtf8(m_field.constData() + from, m_field.size() - from);
}

std::optional<QStringList> Reader::next()
{
    // Takes the byte peek() showed, counting lines: CR LF, LF or a CR alone ends one.
    const auto take = [&] {
        const char c = m_chunk[m_position++];
        if (c == '\n' || (c == '\r' && peek() != '\n'))
            ++m_line;
        return c;
    };
    if (!m_started) {
        m_started = true;
        while (m_chunk.size() < 3) {
            const QByteArray more = m_device.read(ChunkBytes);
            if (more.isEmpty())
                break;
            m_chunk += more;
        }
        if (m_chunk.startsWith(ByteOrderMark))
            m_position = 3;
    }
    if (peek() < 0)
        return std::nullopt;
    m_recordLine = m_line;
    // A field is never kept longer than this many bytes: each UTF-16 character takes at most three.
    constexpr qsizetype MaxFieldBytes = 3 * static_cast<qsizetype>(maxFieldChars);
    const auto tooLong = [](qint64 line, bool quoted) {
        return FormatError(line, QStringLiteral("a field longer than %1 characters%2")
                                     .arg(maxFieldChars)
                                     .arg(quoted ? QStringLiteral(" (or a quote that is never closed)") : QString()));
    };
    QStringList fields;
    for (;;) {
        m_field.clear();
        const qint64 fieldLine = m_line;
        const bool quoted = peek() == '"';
        if (quoted) {
            ++m_position;
            for (;;) {
                if (peek() < 0)
                    throw FormatError(fieldLine, QStringLiteral("a quote opened on this line is never closed"));
                const char c = take();
                if (c == '"') {
                    if (peek() != '"')
                        break;
                    ++m_position;
                }
                m_field.append(c);
                if (m_field.size() > MaxFieldBytes)
                    throw tooLong(fieldLine, true);
            }
            const int after = peek();
            if (after >= 0 && after != ',' && after != '\r' && after != '\n')
                throw FormatError(m_line, QStringLiteral("text after the closing quote of a field"));
        } else {
            for (int c = peek(); c >= 0 && c != ',' && c != '\r' && c != '\n'; c = peek()) {
                if (c == '"')
                    throw FormatError(m_line, QStringLiteral("a quote inside a field that does not start with one"));
                m_field.append(static_cast<char>(c));
                ++m_position;
                if (m_field.size() > MaxFieldBytes)
                    throw tooLong(fieldLine, false);
            }
        }
        QString field = decodeField(fieldLine);
        if (field.size() > maxFieldChars)
            throw tooLong(fieldLine, quoted);
        fields.append(std::move(field));
        if (peek() < 0)
            return fields;
        const char separator = take();
        if (separator == '\r' && peek() == '\n')
            take();
        if (separator != ',')
            return fields;
    }
}

} // namespace kelm::Csv
