#include "common/TextCodec.h"

#include <QStringDecoder>

#include <cerrno>
#include <iconv.h>

namespace kelm::TextCodec {

namespace {

QByteArray convert(const char* to, const char* from, const QByteArray& input, const QByteArray& replacement)
{
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1))
        return {};
    QByteArray output;
    output.reserve(input.size() * 2 + 8);
    char buffer[1024];
    char* in = const_cast<char*>(input.constData());
    size_t inLeft = static_cast<size_t>(input.size());
    while (inLeft > 0) {
        char* out = buffer;
        size_t outLeft = sizeof buffer;
        size_t rc = iconv(cd, &in, &inLeft, &out, &outLeft);
        output.append(buffer, static_cast<qsizetype>(sizeof buffer - outLeft));
        if (rc == static_cast<size_t>(-1)) {
            if (errno == E2BIG)
                continue;
            // An invalid or cut-off sequence: replace one byte and go on.
            output.append(replacement);
            ++in;
            --inLeft;
        }
    }
    iconv_close(cd);
    return output;
}

} // namespace

QString fromGbk(const QByteArray& bytes)
{
    return QString::fromUtf8(convert("UTF-8", "GB18030", bytes, "\xEF\xBF\xBD"));
}

QByteArray toGbk(const QString& text)
{
    return convert("GB18030", "UTF-8", text.toUtf8(), "?");
}

bool isUtf8(const QByteArray& bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString ignored = decoder.decode(bytes);
    return !decoder.hasError();
}

qsizetype utf8Prefix(const QByteArray& bytes, qsizetype maxBytes)
{
    if (bytes.size() <= maxBytes)
        return bytes.size();
    qsizetype end = maxBytes;
    // Step back over continuation bytes to the start of the character that would be cut.
    while (end > 0 && (static_cast<unsigned char>(bytes[end]) & 0xC0) == 0x80)
        --end;
    return end;
}

qsizetype gbkPrefix(const QByteArray& bytes, qsizetype maxBytes)
{
    qsizetype pos = 0;
    while (pos < bytes.size()) {
        auto lead = static_cast<unsigned char>(bytes[pos]);
        qsizetype length = 1;
        if (lead >= 0x81 && lead <= 0xFE && pos + 1 < bytes.size()) {
            auto second = static_cast<unsigned char>(bytes[pos + 1]);
            length = (second >= 0x30 && second <= 0x39) ? 4 : 2;
        }
        if (pos + length > maxBytes)
            break;
        pos += length;
    }
    return std::min(pos, bytes.size());
}

} // namespace kelm::TextCodec
