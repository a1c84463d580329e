#include "common/Amount.h"

#include <charconv>
#include <cmath>
#include <limits>

namespace kelm {

namespace {

constexpr int Places = 4;
constexpr qint64 Scale = 10000;

[[noreturn]] void outOfRange()
{
    throw Error("金额合计超出了可以计算的范围（约九百万亿），无法得出准确的结果。");
}

bool isBlank(char16_t c)
{
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\v' || c == u'\f' || c == 0x3000
        || c == 0xa0;
}

// Reads [sign] digits [. digits] [e [sign] digits] between blanks, the form NumberText::parse takes.
// Works on UTF-16 code units and on UTF-8 bytes alike: every character it accepts is ASCII.
template <typename Char>
std::optional<qint64> parseUnits(const Char* begin, const Char* end)
{
    while (begin < end && isBlank(static_cast<char16_t>(*begin)))
        ++begin;
    while (end > begin && isBlank(static_cast<char16_t>(end[-1])))
        --end;
    const Char* p = begin;
    bool negative = false;
    if (p < end && (*p == '+' || *p == '-'))
        negative = *p++ == '-';

    // The significant digits (leading zeros dropped) and how many of them stand before the point.
    // Only the digits up to the fifth place after the point count: the fifth decides the rounding.
    char digits[48];
    int kept = 0;
    int beforePoint = 0;
    bool anyDigit = false;
    bool seenPoint = false;
    bool overflow = false;
    for (; p < end; ++p) {
        const Char c = *p;
        if (c >= '0' && c <= '9') {
            anyDigit = true;
            if (kept == 0 && c == '0') {
                if (seenPoint)
                    --beforePoint; // 0.00123: the point stands before leading zeros
                continue;
            }
            if (!seenPoint)
                ++beforePoint;
            if (kept < static_cast<int>(sizeof digits))
                digits[kept++] = static_cast<char>(c);
            else if (!seenPoint)
                overflow = true; // more whole digits than any amount has
        } else if (c == '.' && !seenPoint) {
            seenPoint = true;
        } else {
            break;
        }
    }
    if (!anyDigit)
        return std::nullopt;
    if (p < end && (*p == 'e' || *p == 'E')) {
        ++p;
        bool negativeExponent = false;
        if (p < end && (*p == '+' || *p == '-'))
            negativeExponent = *p++ == '-';
        if (p == end || !(*p >= '0' && *p <= '9'))
            return std::nullopt;
        int exponent = 0;
        for (; p < end && *p >= '0' && *p <= '9'; ++p) {
            if (exponent < 100000)
                exponent = exponent * 10 + (*p - '0');
        }
        beforePoint += negativeExponent ? -exponent : exponent;
    }
    if (p != end)
        return std::nullopt;
    if (kept == 0)
        return 0;
    if (overflow || beforePoint > 19)
        return std::nullopt;

    // The value is 0.d1d2d3... × 10^beforePoint; the units are its digits up to the fourth place.
    const int unitDigits = beforePoint + Places;
    quint64 units = 0;
    for (int i = 0; i < unitDigits; ++i) {
        const int digit = i < kept ? digits[i] - '0' : 0;
        if (units > (std::numeric_limits<quint64>::max() - 9) / 10)
            return std::nullopt;
        units = units * 10 + static_cast<quint64>(digit);
    }
    if (unitDigits >= 0 && unitDigits < kept && digits[unitDigits] >= '5')
        ++units;
    if (units > static_cast<quint64>(std::numeric_limits<qint64>::max()))
        return std::nullopt;
    const auto value = static_cast<qint64>(units);
    return negative ? -value : value;
}

} // namespace

std::optional<Amount> Amount::fromText(QStringView text)
{
    const std::optional<qint64> units = parseUnits(text.utf16(), text.utf16() + text.size());
    if (!units)
        return std::nullopt;
    Amount amount;
    amount.m_units = *units;
    return amount;
}

std::optional<Amount> Amount::fromUtf8(std::string_view text)
{
    const std::optional<qint64> units = parseUnits(text.data(), text.data() + text.size());
    if (!units)
        return std::nullopt;
    Amount amount;
    amount.m_units = *units;
    return amount;
}

std::optional<Amount> Amount::fromCell(const Cell& cell)
{
    switch (cell.type) {
    case Cell::Type::Null:
        return std::nullopt;
    case Cell::Type::Integer: {
        Amount amount;
        if (__builtin_mul_overflow(cell.integer, Scale, &amount.m_units))
            return std::nullopt;
        return amount;
    }
    case Cell::Type::Real: {
        if (cell.text)
            return fromUtf8(cell.bytes());
        if (!std::isfinite(cell.real))
            return std::nullopt;
        // The shortest digits that read back as the same double are the digits that were stored.
        char buffer[64];
        const auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, cell.real);
        if (error != std::errc())
            return std::nullopt;
        return fromUtf8(std::string_view(buffer, static_cast<std::size_t>(end - buffer)));
    }
    case Cell::Type::Text:
        return fromUtf8(cell.bytes());
    }
    return std::nullopt;
}

Amount& Amount::operator+=(Amount other)
{
    if (__builtin_add_overflow(m_units, other.m_units, &m_units))
        outOfRange();
    return *this;
}

Amount& Amount::operator-=(Amount other)
{
    if (__builtin_sub_overflow(m_units, other.m_units, &m_units))
        outOfRange();
    return *this;
}

QString Amount::toText() const
{
    // The magnitude as unsigned, so the most negative value has one too.
    const quint64 magnitude = m_units < 0 ? 0 - static_cast<quint64>(m_units) : static_cast<quint64>(m_units);
    QString text = QString::number(magnitude / Scale);
    quint64 fraction = magnitude % Scale;
    if (fraction != 0) {
        int places = Places;
        while (fraction % 10 == 0) {
            fraction /= 10;
            --places;
        }
        text += u'.' + QString::number(fraction).rightJustified(places, u'0');
    }
    if (m_units < 0)
        text.prepend(u'-');
    return text;
}

double Amount::toDouble() const
{
    return static_cast<double>(m_units) / Scale;
}

} // namespace kelm
