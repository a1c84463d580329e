#pragma once

#include <kelm/Error.h>

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>
#include <span>
#include <string>
#include <string_view>

class QIODevice;

namespace kelm {

// Comma-separated files as spreadsheet programs on the shop's PC open them: UTF-8 with a byte-order
// mark, CRLF line ends, a field quoted when it holds a comma, a quote or a line break. A text that a
// spreadsheet would run as a formula (one starting with "=", "+", "-" or "@") is written with a
// leading apostrophe inside quotes, so it shows as the text it is; a number ("-5", "-0.5") stays a
// number. Text that already starts with apostrophes before such a character gets one more, so the
// reader, which takes one apostrophe off every such field, gives back exactly the text written.
namespace Csv {

class Writer
{
public:
    // Writes the byte-order mark at once.
    explicit Writer(QIODevice& device);
    ~Writer(); // flushes
    Writer(const Writer&) = delete;
    Writer& operator=(const Writer&) = delete;

    void writeRow(const QStringList& fields);
    // The same for fields that are UTF-8 already (a database's text cells), without a detour
    // through QString: a million-member export spends its time here.
    void writeUtf8Row(std::span<const std::string_view> fields);
    // Writes what is buffered; false once any write failed (a full disk): the file is not complete.
    bool flush();

private:
    void appendField(std::string_view field);

    QIODevice& m_device;
    std::string m_buffer;
    bool m_ok = true;
};

// What is wrong with a file, with the number of its line (1 is the first line).
class FormatError : public Error
{
public:
    FormatError(qint64 line, const QString& reason);
    qint64 line() const { return m_line; }

private:
    qint64 m_line;
};

class Reader
{
public:
    // Skips a byte-order mark.
    explicit Reader(QIODevice& device);
    // The next record; none at the end. Throws FormatError for bytes that are not UTF-8, a quote
    // left open, or a field longer than maxFieldChars.
    std::optional<QStringList> next();
    // The line the last record returned began on.
    qint64 line() const { return m_recordLine; }

    static constexpr int maxFieldChars = 10000;

private:
    // The next byte without taking it; -1 at the end of the file.
    int peek();
    QString decodeField(qint64 fieldLine) const;

    QIODevice& m_device;
    QByteArray m_chunk;
    qsizetype m_position = 0;
    qint64 m_line = 1; // the line of the next byte
    qint64 m_recordLine = 0;
    QByteArray m_field;
    bool m_started = false;
};

} // namespace Csv
} // namespace kelm
