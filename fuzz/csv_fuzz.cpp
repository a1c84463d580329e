// A spreadsheet file as kelm-admin import reads it, from any bytes: the reader gives well-formed
// fields no longer than its bound or names a line of the file, and what it read, written again, reads
// back the same. Any texts written (the input cut into fields and records) read back as written.
#include "common/Csv.h"

#include <QBuffer>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

using kelm::Csv::FormatError;
using kelm::Csv::Reader;
using kelm::Csv::Writer;

[[noreturn]] void fail(const char* rule, const QString& detail)
{
    std::fprintf(stderr, "csv_fuzz: broken: %s\n  %s\n", rule, qUtf8Printable(detail.left(200)));
    std::abort();
}

// Every record of the bytes; none when the reader refuses them.
std::optional<std::vector<QStringList>> readAll(const QByteArray& bytes, qint64 lines)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    Reader reader(buffer);
    std::vector<QStringList> records;
    try {
        qint64 previous = 0;
        while (std::optional<QStringList> record = reader.next()) {
            if (reader.line() <= previous || reader.line() > lines)
                fail("records begin on later lines, within the file", QString::number(reader.line()));
            previous = reader.line();
            for (const QString& field : *record) {
                if (field.size() > Reader::maxFieldChars || !QStringView(field).isValidUtf16())
                    fail("a field is text within the bound", field);
            }
            records.push_back(std::move(*record));
        }
    } catch (const FormatError& error) {
        if (error.line() < 1 || error.line() > lines || std::string_view(error.what()).empty())
            fail("a refusal names a line of the file", QString::fromUtf8(error.what()));
        return std::nullopt;
    }
    return records;
}

QByteArray writeAll(const std::vector<QStringList>& records)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    {
        Writer writer(buffer);
        for (const QStringList& record : records)
            writer.writeRow(record);
        if (!writer.flush())
            fail("a buffer takes every byte", QString());
    }
    return buffer.data();
}

qint64 lineCount(const QByteArray& bytes)
{
    return bytes.count('\n') + bytes.count('\r') + 1;
}

void readsBackTheSame(const std::vector<QStringList>& records, const char* what)
{
    const QByteArray written = writeAll(records);
    const std::optional<std::vector<QStringList>> again = readAll(written, lineCount(written));
    if (!again)
        fail(what, QString::fromUtf8(written));
    if (*again != records)
        fail(what, QString::fromUtf8(written));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    if (const std::optional<std::vector<QStringList>> records = readAll(bytes, lineCount(bytes)))
        readsBackTheSame(*records, "what was read, written again, reads back the same");

    // The input as texts: byte 1 ends a field, byte 2 a record. A NUL is no text a file holds.
    std::vector<QStringList> texts;
    for (const QByteArray& record : bytes.split('\x02')) {
        QStringList fields;
        for (const QByteArray& field : record.split('\x01'))
            fields << QString::fromUtf8(field).replace(QChar(u'\0'), QChar(u' '));
        texts.push_back(fields);
    }
    readsBackTheSame(texts, "texts written read back as written");
    return 0;
}
