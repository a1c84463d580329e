#pragma once

#include <QByteArray>
#include <QString>

namespace kelm {

// Reads values from a Windows-style profile file (config.ini): "[section]" lines, "key=value"
// lines, ";" comments. Section and key names match without regard to ASCII letter case; a value is
// everything after the first "=" up to the end of its line. The file may be stored in GBK (as
// the tills of this system have always kept it) or in UTF-8; names and values are matched and
// cut in the file's own encoding, so a value keeps at most maxBytes bytes of it, never half a
// character, and ends at its first NUL. A missing file, section or key gives the empty text; so does
// a file that is not a regular file (a pipe, a device, a folder) or is larger than 2 MiB.
class ProfileReader
{
public:
    static constexpr int ValueBytes = 29; // what a 30-byte buffer with its terminator keeps

    explicit ProfileReader(const QString& path);
    static ProfileReader fromBytes(const QByteArray& content);

    QString value(const QString& section, const QString& key, int maxBytes = ValueBytes) const;
    bool isUtf8() const { return m_utf8; }

private:
    ProfileReader() = default;
    void setContent(const QByteArray& content);

    QByteArray m_content;
    bool m_utf8 = true;
};

} // namespace kelm
