#include "common/NumberText.h"

#include <QLocale>

#include <cmath>
#include <cstdio>

namespace kelm::NumberText {

QString format(double value)
{
    if (value == 0)
        return QStringLiteral("0"); // never "-0"
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, "%.15G", value);
    return QString::fromLatin1(buffer);
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
