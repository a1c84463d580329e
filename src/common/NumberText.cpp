#include "common/NumberText.h"

#include <QLocale>

#include <charconv>
#include <cmath>

namespace kelm::NumberText {

QString format(double value)
{
    if (value == 0)
        return QStringLiteral("0"); // never "-0"
    // printf's "%.15G" in the C locale, whatever locale the host set, and several times faster: an
    // export of a million members spends a sixth of its time here with printf.
    char buffer[40];
    const auto written = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 15);
    for (char* c = buffer; c != written.ptr; ++c) {
        if (*c >= 'a' && *c <= 'z')
            *c = static_cast<char>(*c - 'a' + 'A');
    }
    return QString::fromLatin1(buffer, written.ptr - buffer);
}

std::optional<double> parse(const QString& text)
{
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return std::nullopt;
    // Only digits, one sign, one point and an exponent: no "inf", "nan", hex or grouping.
    for (QChar c : trimmed) {
        if (!(c.isDigit() && c.unicode() < 128) && c != u'.' && c != u'+' && c != u'-' && c != u'e' && c != u'E')
            return std::nullopt;
    }
    bool ok = false;
    const double value = QLocale::c().toDouble(trimmed, &ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

std::optional<std::int16_t> parseInt16(const QString& text)
{
    const std::optional<double> value = parse(text);
    if (!value)
        return std::nullopt;
    const double rounded = std::nearbyint(*value); // the default rounding mode is half to even
    if (rounded < -32768.0 || rounded > 32767.0)
        return std::nullopt;
    return static_cast<std::int16_t>(rounded);
}

} // namespace kelm::NumberText
