#include "DecimalSum.h"

#include <charconv>

namespace kelm {

namespace {

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// Digits further from the point than this are no amount of money or points; such a number is
// refused rather than spread over that much memory.
constexpr long FarthestPlace = 1000000;

// Brings every place to 0..9, carrying to the next; returns what is carried past the highest place.
qint64 carry(std::vector<qint64>& places)
{
    qint64 carried = 0;
    for (qint64& place : places) {
        const qint64 value = place + carried;
        qint64 digit = value % 10;
        carried = value / 10;
        if (digit < 0) {
            digit += 10;
            carried -= 1;
        }
        place = digit;
    }
    return carried;
}

} // namespace

bool DecimalSum::add(std::string_view number)
{
    while (!number.empty() && (number.front() == ' ' || number.front() == '\t'))
        number.remove_prefix(1);
    while (!number.empty() && (number.back() == ' ' || number.back() == '\t'))
        number.remove_suffix(1);
    std::size_t i = 0;
    const auto digits = [&] {
        const std::size_t from = i;
        while (i < number.size() && isDigit(number[i]))
            ++i;
        return number.substr(from, i - from);
    };
    bool negative = false;
    if (i < number.size() && (number[i] == '+' || number[i] == '-'))
        negative = number[i++] == '-';
    const std::string_view whole = digits();
    std::string_view fraction;
    if (i < number.size() && number[i] == '.') {
        ++i;
        fraction = digits();
    }
    if (whole.empty() && fraction.empty())
        return false;
    long exponent = 0;
    if (i < number.size() && (number[i] == 'e' || number[i] == 'E')) {
        ++i;
        bool negativeExponent = false;
        if (i < number.size() && (number[i] == '+' || number[i] == '-'))
            negativeExponent = number[i++] == '-';
        const std::string_view written = digits();
        if (written.empty())
            return false;
        for (const char c : written)
            exponent = std::min(exponent * 10 + (c - '0'), 10 * FarthestPlace);
        if (negativeExponent)
            exponent = -exponent;
    }
    if (i != number.size())
        return false;

    // Digit k of whole and fraction together stands for 10^(exponent + whole.size() - 1 - k).
    const std::size_t count = whole.size() + fraction.size();
    const auto digit = [&](std::size_t k) { return k < whole.size() ? whole[k] : fraction[k - whole.size()]; };
    const auto place = [&](std::size_t k) {
        return exponent + static_cast<long>(whole.size()) - 1 - static_cast<long>(k);
    };
    std::size_t first = 0;
    while (first < count && digit(first) == '0')
        ++first;
    if (first == count)
        return true; // zero
    std::size_t last = count - 1;
    while (digit(last) == '0')
        --last;
    const long highest = place(first);
    const long lowest = place(last);
    if (highest > FarthestPlace || lowest < -FarthestPlace)
        return false;

    if (m_places.empty()) {
        m_lowest = static_cast<int>(lowest);
        m_places.assign(static_cast<std::size_t>(highest - lowest + 1), 0);
    }
    if (lowest < m_lowest) {
        m_places.insert(m_places.begin(), static_cast<std::size_t>(m_lowest - lowest), 0);
        m_lowest = static_cast<int>(lowest);
    }
    if (highest - m_lowest >= static_cast<long>(m_places.size()))
        m_places.resize(static_cast<std::size_t>(highest - m_lowest + 1), 0);
    for (std::size_t k = first; k <= last; ++k) {
        const qint64 value = digit(k) - '0';
        m_places[static_cast<std::size_t>(place(k) - m_lowest)] += negative ? -value : value;
    }
    return true;
}

void DecimalSum::add(const Cell& cell)
{
    char buffer[64];
    switch (cell.type) {
    case Cell::Type::Null:
        return;
    case Cell::Type::Integer: {
        const auto written = std::to_chars(buffer, buffer + sizeof buffer, cell.integer);
        add(std::string_view(buffer, static_cast<std::size_t>(written.ptr - buffer)));
        return;
    }
    case Cell::Type::Real: {
        if (cell.text && add(cell.bytes()))
            return;
        // Not a number (NaN, infinity) gives letters, which add nothing.
        const auto written = std::to_chars(buffer, buffer + sizeof buffer, cell.real);
        if (written.ec == std::errc())
            add(std::string_view(buffer, static_cast<std::size_t>(written.ptr - buffer)));
        return;
    }
    case Cell::Type::Text:
        add(cell.bytes());
        return;
    }
}

QString DecimalSum::toText() const
{
    std::vector<qint64> places = m_places;
    qint64 carried = carry(places);
    // What is carried past the top is the sign: the places below it are 0..9 and add up to less
    // than one unit of it.
    const bool negative = carried < 0;
    if (negative) {
        for (std::size_t i = 0; i < places.size(); ++i)
            places[i] = -m_places[i];
        carried = carry(places);
    }
    for (; carried > 0; carried /= 10)
        places.push_back(carried % 10);

    long highest = -1;
    long lowest = -1;
    for (std::size_t i = 0; i < places.size(); ++i) {
        if (places[i] != 0) {
            highest = static_cast<long>(i);
            if (lowest < 0)
                lowest = static_cast<long>(i);
        }
    }
    if (highest < 0)
        return QStringLiteral("0");
    const auto digitAt = [&](long power) -> char {
        const long index = power - m_lowest;
        if (index < 0 || index >= static_cast<long>(places.size()))
            return '0';
        return static_cast<char>('0' + places[static_cast<std::size_t>(index)]);
    };
    std::string text = negative ? "-" : "";
    for (long power = std::max(highest + m_lowest, 0L); power >= 0; --power)
        text += digitAt(power);
    if (lowest + m_lowest < 0) {
        text += '.';
        for (long power = -1; power >= lowest + m_lowest; --power)
            text += digitAt(power);
    }
    return QString::fromLatin1(text);
}

} // namespace kelm
