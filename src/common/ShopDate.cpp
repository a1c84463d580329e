#include "common/ShopDate.h"

#include <QLocale>

#include <array>
#include <string_view>

namespace kelm::ShopDate {

namespace {

bool isSpace(char16_t c)
{
    return c == u' ' || c == u'\t' || c == 0x3000 || c == 0xa0 || c == u'\r' || c == u'\n';
}

bool isDigit(char16_t c)
{
    return c >= u'0' && c <= u'9';
}

bool isLetter(char16_t c)
{
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

// 1 to 12 for an English month name, short or long, in any case; 0 for any other word.
int monthOfName(QStringView word)
{
    static constexpr std::array<std::string_view, 12> Names = {
        "january", "february", "march", "april", "may", "june", "july", "august", "september", "october",
        "november", "december"};
    if (word.size() < 3 || word.size() > 9)
        return 0;
    char lower[10] = {};
    for (qsizetype i = 0; i < word.size(); ++i)
        lower[i] = static_cast<char>(word[i].unicode() | 0x20);
    const std::string_view name(lower, static_cast<std::size_t>(word.size()));
    for (std::size_t m = 0; m < Names.size(); ++m) {
        if (name == Names[m] || name == Names[m].substr(0, 3) || (m == 8 && name == "sept"))
            return static_cast<int>(m) + 1;
    }
    return 0;
}

// Whether this machine's short date form, with slashes and the year last, puts the day first
// (06/12/2026); an American or a non-slash form leaves slash dates month first.
bool slashDatesDayFirst()
{
    static const bool dayFirst = [] {
        const QString format = QLocale::system().dateFormat(QLocale::ShortFormat);
        const qsizetype day = format.indexOf(u'd');
        const qsizetype month = format.indexOf(u'M');
        const qsizetype year = format.indexOf(u'y');
        if (!format.contains(u'/') || day < 0 || month < 0 || year < 0 || year < day || year < month)
            return false;
        return day < month;
    }();
    return dayFirst;
}

// The date part of the text: a time after it ("14:30:05", "下午2:30", "2:30 PM", "T14:30") is cut off,
// with the blanks around.
QStringView withoutTime(QStringView text)
{
    const qsizetype colon = text.indexOf(u':');
    if (colon >= 0) {
        qsizetype start = colon;
        while (start > 0 && isDigit(text[start - 1].unicode()))
            --start;
        if (start == colon)
            return {}; // a colon with no hour before it is no time
        text = text.first(start);
        while (!text.isEmpty() && isSpace(text.back().unicode()))
            text.chop(1);
        if (text.size() >= 2 && text.back() == u'T' && isDigit(text[text.size() - 2].unicode())) {
            text.chop(1); // 2026-12-06T14:30:05
        } else {
            for (const QStringView marker : {u"上午", u"下午", u"AM", u"PM", u"am", u"pm"}) {
                if (text.endsWith(marker)) {
                    text.chop(marker.size());
                    break;
                }
            }
        }
    }
    while (!text.isEmpty() && isSpace(text.back().unicode()))
        text.chop(1);
    while (!text.isEmpty() && isSpace(text.front().unicode()))
        text = text.sliced(1);
    return text;
}

struct Field
{
    int value = 0;
    int digits = 0; // 0 for a month name
};

} // namespace

std::optional<QDate> parse(QStringView text)
{
    text = withoutTime(text);
    // Three fields, each digits or a month name, between separators.
    std::array<Field, 3> fields;
    int count = 0;
    bool slashes = false;
    bool monthNamed = false;
    qsizetype i = 0;
    const qsizetype size = text.size();
    // A sign or a separator before the first field ("-6.12.2026", "/12/6") is no date.
    if (size == 0 || !(isDigit(text[0].unicode()) || isLetter(text[0].unicode())))
        return std::nullopt;
    while (i < size) {
        const char16_t c = text[i].unicode();
        if (isDigit(c) || isLetter(c)) {
            if (count == 3)
                return std::nullopt;
            Field& field = fields[static_cast<std::size_t>(count++)];
            const qsizetype start = i;
            if (isDigit(c)) {
                while (i < size && isDigit(text[i].unicode())) {
                    if (i - start >= 4)
                        return std::nullopt;
                    field.value = field.value * 10 + (text[i].unicode() - u'0');
                    ++i;
                }
                field.digits = static_cast<int>(i - start);
            } else {
                while (i < size && isLetter(text[i].unicode()))
                    ++i;
                field.value = monthOfName(text.sliced(start, i - start));
                if (field.value == 0 || monthNamed)
                    return std::nullopt;
                monthNamed = true;
            }
            // A field runs up to a separator: "6Dec" or "12a" is no date.
            if (i < size && (isDigit(text[i].unicode()) || isLetter(text[i].unicode())))
                return std::nullopt;
            continue;
        }
        switch (c) {
        case u'/':
            slashes = true;
            break;
        case u'-':
        case u'.':
        case u',':
        case u'年':
        case u'月':
        case u'日':
            break;
        default:
            if (!isSpace(c))
                return std::nullopt;
        }
        ++i;
    }
    if (count != 3)
        return std::nullopt;

    const auto yearOf = [](const Field& field) -> int {
        if (field.digits == 4)
            return field.value;
        if (field.digits == 2)
            return 2000 + field.value;
        return 0;
    };
    int year = 0;
    int month = 0;
    int day = 0;
    if (fields[0].digits == 4) {
        year = fields[0].value;
        if (fields[2].digits == 0) // 2026 6 Dec
            std::swap(fields[1], fields[2]);
        if (fields[2].digits == 0 || fields[1].digits > 2 || fields[2].digits > 2)
            return std::nullopt;
        month = fields[1].value;
        day = fields[2].value;
    } else {
        year = yearOf(fields[2]);
        const Field& a = fields[0];
        const Field& b = fields[1];
        if (year == 0 || a.digits > 2 || b.digits > 2)
            return std::nullopt;
        bool dayFirst = false;
        if (a.digits == 0)
            dayFirst = false; // Dec 6, 2026
        else if (b.digits == 0)
            dayFirst = true; // 6 Dec 2026
        else if (a.value > 12)
            dayFirst = true;
        else if (b.value > 12)
            dayFirst = false;
        else
            dayFirst = !slashes || slashDatesDayFirst();
        day = dayFirst ? a.value : b.value;
        month = dayFirst ? b.value : a.value;
    }
    const QDate date(year, month, day);
    if (!date.isValid())
        return std::nullopt;
    return date;
}

} // namespace kelm::ShopDate
