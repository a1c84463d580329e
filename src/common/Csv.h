#pragma once

#include <kelm/Error.h>

#include <QString>
#include <QStringList>

#include <optional>

class QIODevice;

namespace kelm {

// Comma-separated files as spreadsheet programs on the shop's PC open them: UTF-8 with a byte-order
// mark, CRLF line ends, a field quoted when it holds a comma, a quote or a line break. A text that a
// spreadsheet would run as a formula (one starting with "=", "+", "-" or "@") is written with a
// leading apostrophe inside quotes, so it shows as the text it is.
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
    // Writes what is buffered; false once any write failed (a full disk): the file is not complete.
    bool flush();

private:
    QIODevice& m_device;
    QByteArray m_buffer;
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
    qint64 line() const;

    static constexpr int maxFieldChars = 10000;
};

} // namespace Csv
} // namespace kelm
