#include "common/ProfileReader.h"

#include "common/RegularFile.h"
#include "common/TextCodec.h"

namespace kelm {

namespace {

// A file bigger than this is no settings file and is not read at all; one of a megabyte still is.
constexpr qint64 MaxProfileBytes = 2 << 20;

QByteArray trimmedAscii(QByteArray text)
{
    return text.trimmed();
}

bool sameName(const QByteArray& a, const QByteArray& b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

// In GBK the second byte of a character may look like "[", "]" or "="; in UTF-8 it never can.
qsizetype characterLength(const QByteArray& text, qsizetype pos, bool utf8)
{
    const auto lead = static_cast<unsigned char>(text[pos]);
    if (utf8 || lead < 0x81 || lead > 0xFE || pos + 1 >= text.size())
        return 1;
    const auto second = static_cast<unsigned char>(text[pos + 1]);
    return (second >= 0x30 && second <= 0x39) ? 4 : 2;
}

} // namespace

ProfileReader::ProfileReader(const QString& path)
{
    // A pipe, a device or a folder in its place reads as a missing file.
    if (const std::optional<QByteArray> content = RegularFile::read(path, MaxProfileBytes))
        setContent(*content);
}

ProfileReader ProfileReader::fromBytes(const QByteArray& content)
{
    ProfileReader reader;
    reader.setContent(content);
    return reader;
}

void ProfileReader::setContent(const QByteArray& content)
{
    m_content = content;
    if (m_content.startsWith("\xEF\xBB\xBF")) {
        m_content.remove(0, 3);
        m_utf8 = true;
    } else {
        m_utf8 = TextCodec::isUtf8(m_content);
    }
}

QString ProfileReader::value(const QString& section, const QString& key, int maxBytes) const
{
    const auto findAtCharacterStart = [this](const QByteArray& text, char wanted, qsizetype from) -> qsizetype {
        for (qsizetype i = from; i < text.size(); i += characterLength(text, i, m_utf8)) {
            if (text[i] == wanted)
                return i;
        }
        return -1;
    };
    const QByteArray wantedSection = m_utf8 ? section.toUtf8() : TextCodec::toGbk(section);
    const QByteArray wantedKey = m_utf8 ? key.toUtf8() : TextCodec::toGbk(key);

    // Lines are split on the line-feed byte, which never occurs inside a GBK or UTF-8 character.
    // Within a line the structure ("[", "]", "=") is looked for only at character starts.
    bool inSection = false;
    qsizetype lineStart = 0;
    while (lineStart <= m_content.size()) {
        qsizetype lineEnd = m_content.indexOf('\n', lineStart);
        if (lineEnd < 0)
            lineEnd = m_content.size();
        QByteArray line = m_content.mid(lineStart, lineEnd - lineStart);
        lineStart = lineEnd + 1;
        if (line.endsWith('\r'))
            line.chop(1);

        const QByteArray trimmed = trimmedAscii(line);
        if (trimmed.isEmpty() || trimmed.startsWith(';'))
            continue;
        if (trimmed.startsWith('[')) {
            const qsizetype close = findAtCharacterStart(trimmed, ']', 1);
            const QByteArray name = trimmedAscii(trimmed.mid(1, (close < 0 ? trimmed.size() : close) - 1));
            inSection = sameName(name, wantedSection);
            continue;
        }
        if (!inSection)
            continue;

        const qsizetype equals = findAtCharacterStart(line, '=', 0);
        if (equals < 0 || !sameName(trimmedAscii(line.left(equals)), wantedKey))
            continue;

        QByteArray bytes = line.mid(equals + 1);
        const qsizetype nul = bytes.indexOf('\0');
        if (nul >= 0)
            bytes.truncate(nul);
        bytes.truncate(m_utf8 ? TextCodec::utf8Prefix(bytes, maxBytes) : TextCodec::gbkPrefix(bytes, maxBytes));
        return m_utf8 ? QString::fromUtf8(bytes) : TextCodec::fromGbk(bytes);
    }
    return {};
}

} // namespace kelm
