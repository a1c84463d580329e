#pragma once

#include <QDate>
#include <QStringView>

#include <optional>

namespace kelm {

// A till's short date text read as a date. Each till writes qzjl.日期 and lpdhjr.日期 in its own
// system's short form: "2026/12/6", "2026-12-06", "6 Dec 2026", "12/6/26", "2026年12月6日",
// "06.12.2026", sometimes with a time after it. None when the text cannot be read as a date.
//
// A four-digit first field is the year (year, month, day). A month's English name, short or long,
// is the month. Otherwise the year is last, and a first or second field above 12 is the day; when
// both could be the day, a date with dots or dashes is day first (06.12.2026, 06-12-2026), and one
// with slashes follows this machine's own short form if it has slashes and the year last (06/12/2026
// for a British till) and is month first otherwise (12/6/26, the American form). A two-digit year is
// 20yy.
namespace ShopDate {
std::optional<QDate> parse(QStringView text);
} // namespace ShopDate

} // namespace kelm
